# `make package`: a Debian package of everything `cmake --install` puts in place.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brisko)
set(CPACK_PACKAGE_VENDOR Quillmoor)
set(CPACK_PACKAGE_CONTACT "The Brisko developers <brisko@quillmoor.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "delete files by rule, in a window or on a schedule")
# Lines of at most 79 characters, as Debian's package tools show them.
set(CPACK_PACKAGE_DESCRIPTION
  "Brisko keeps patterns: ordered lists of deletion items, each naming a\n\
target folder or the trash, the masks of the files to take and to spare,\n\
and an age limit. Test a pattern to see what it would remove, or run it\n\
from the window or unattended from a systemd timer or cron.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The Debian revision of the upstream version, as in debian/changelog's newest entry.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/quillmoor/brisko)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries come from the program's own links; the platform and image
# plugins are loaded at run time. A font for the Japanese texts matters only to
# those who read them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "fonts-ipafont-gothic | fonts-noto-cjk | fonts-vlgothic | fonts-takao-gothic, qt6-translations-l10n, adwaita-icon-theme, hicolor-icon-theme, shared-mime-info, desktop-file-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xdg-utils")
set(CPACK_STRIP_FILES ON)
# What lintian should not say of a package made outside Debian's archive.
if(BRISKO_DEBIAN_PACKAGE)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME brisko)
endif()
include(CPack)
