# Writes the BuildInfo definition. Runs at build time (cmake -P), so the timestamp is the time
# of the build and the commit id that of the tree being built, not of the last configure run.
# Inputs: INPUT, OUTPUT, SOURCE_DIR, BUILD_DIR, VERSION, BUILD_NUMBER, ARCHITECTURE.

# Month names are spelled here rather than taken from strftime, whose %b follows the locale.
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
string(TIMESTAMP month_number "%m")
string(REGEX REPLACE "^0" "" month_number "${month_number}")
math(EXPR month_index "${month_number} - 1")
list(GET months ${month_index} month)
string(TIMESTAMP day "%d")
string(REGEX REPLACE "^0" " " day "${day}")
string(TIMESTAMP year "%Y")
string(TIMESTAMP clock "%H:%M:%S")
# The same form as the compiler's __DATE__ and __TIME__: "Aug 22 2026", "Aug  2 2026 23:43:06".
set(ORVEX_BUILD_DATE "${month} ${day} ${year}")
set(ORVEX_BUILD_TIMESTAMP "${ORVEX_BUILD_DATE} ${clock}")

set(ORVEX_BUILD_DIRECTORY "${BUILD_DIR}")
set(ORVEX_SOURCE_DIRECTORY "${SOURCE_DIR}")
set(ORVEX_VERSION "${VERSION}")
set(ORVEX_BUILD_NUMBER "${BUILD_NUMBER}")
set(ORVEX_BUILD_ARCHITECTURE "${ARCHITECTURE}")
cmake_host_system_information(RESULT ORVEX_BUILD_HOST QUERY HOSTNAME)

set(ORVEX_BUILD_OS_NAME "unknown")
set(ORVEX_BUILD_OS_VERSION "unknown")
if(EXISTS /etc/os-release)
    file(STRINGS /etc/os-release os_release)
    foreach(line IN LISTS os_release)
        if(line MATCHES "^ID=\"?([^\"]*)\"?$")
            set(ORVEX_BUILD_OS_NAME "${CMAKE_MATCH_1}")
        elseif(line MATCHES "^VERSION_ID=\"?([^\"]*)\"?$")
            set(ORVEX_BUILD_OS_VERSION "${CMAKE_MATCH_1}")
        endif()
    endforeach()
endif()

# Outside a git checkout there is no commit: the id is then all zeros, which keeps its form.
set(ORVEX_COMMIT_ID "0000000000000000000000000000000000000000")
find_program(GIT_EXECUTABLE git)
if(GIT_EXECUTABLE)
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" rev-parse --verify -q HEAD
                    OUTPUT_VARIABLE head OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE git_result ERROR_QUIET)
    if(git_result EQUAL 0 AND head MATCHES "^[0-9a-f]+$")
        string(LENGTH "${head}" head_length)
        if(head_length EQUAL 40)
            set(ORVEX_COMMIT_ID "${head}")
        endif()
    endif()
endif()
# A review change id in the style of "I" and forty hex digits, derived from the commit so that
# one commit always gets the same one; a build from a tree is patch set 1 of its change.
string(SHA1 ORVEX_CHANGE_HASH "change ${ORVEX_COMMIT_ID}")
set(ORVEX_PATCH_SET 1)

# Everything but the clock decides whether the file is written again. Rewriting it only for a
# new time would relink every program on every build; so the timestamp is the time of the
# build that first saw this commit, source tree, host and version.
set(key "${ORVEX_COMMIT_ID}|${SOURCE_DIR}|${BUILD_DIR}|${ORVEX_BUILD_HOST}|${VERSION}|${BUILD_NUMBER}|${ORVEX_BUILD_OS_NAME}|${ORVEX_BUILD_OS_VERSION}|${ARCHITECTURE}")
file(SHA1 "${INPUT}" template_hash)
string(APPEND key "|${template_hash}")
if(EXISTS "${OUTPUT}" AND EXISTS "${OUTPUT}.key")
    file(READ "${OUTPUT}.key" old_key)
    if(old_key STREQUAL key)
        return()
    endif()
endif()
configure_file("${INPUT}" "${OUTPUT}" @ONLY)
file(WRITE "${OUTPUT}.key" "${key}")
