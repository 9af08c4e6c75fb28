# Run at build time: lays out the installer bundle around the finished management bundle.
#   -DMANAGEMENT_BUNDLE=<…/Corvanta 管理工具.app> -DINSTALLER_BUNDLE=<…/X.app> -DEXECUTABLE=<name>
# file(COPY) keeps links as links and file modes, and skips files that have not changed.
file(MAKE_DIRECTORY "${INSTALLER_BUNDLE}/Contents/MacOS" "${INSTALLER_BUNDLE}/Contents/Resources")
# A real copy, not a link: the installer is told apart by the bundle around its own executable.
file(COPY "${MANAGEMENT_BUNDLE}/Contents/MacOS/${EXECUTABLE}" DESTINATION "${INSTALLER_BUNDLE}/Contents/MacOS")
file(COPY "${MANAGEMENT_BUNDLE}/Contents/Resources/AppIcon.png" DESTINATION "${INSTALLER_BUNDLE}/Contents/Resources")
file(COPY "${MANAGEMENT_BUNDLE}" DESTINATION "${INSTALLER_BUNDLE}/Contents/Resources")
