# Where Qt keeps its plugins, so that the build tree and the distribution can carry the
# xcb platform plugin beside the installer (the embedded qt.conf moves the toolkit's own
# plugin path away to ../lib/plugins, which does not exist on a user's machine).
get_target_property(ORVEX_QXCB_PLUGIN Qt5::QXcbIntegrationPlugin LOCATION)
get_filename_component(ORVEX_QT_PLATFORMS_DIR "${ORVEX_QXCB_PLUGIN}" DIRECTORY)
get_filename_component(ORVEX_QT_PLUGINS_DIR "${ORVEX_QT_PLATFORMS_DIR}" DIRECTORY)
