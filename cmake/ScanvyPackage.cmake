# The Debian package of scanvy, built by CPack's DEB generator from the
# install rules (scripts/package). The runtime libraries come from
# dpkg-shlibdeps; what the program loads or runs without linking it is
# listed by hand below.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME scanvy)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "document scanning for sheet-fed and overhead scanners")
set(CPACK_PACKAGE_DESCRIPTION
    "Zekewei Scan (泽科维扫描软件) drives document scanners with an automatic
sheet feeder and the overhead scanner RV920 through SANE. It scans dozens
or hundreds of sheets into a page list shown as thumbnails and a large
zoomable view, where pages are rotated, deleted, re-scanned or inserted,
and saves them as TIFF, PNM, JPEG, PNG, PDF or OFD files, one per page or
as one multi-page document. It recognises the pages' text (Simplified
Chinese, Traditional Chinese, English) for searchable PDF and OFD files.
The user interface is in Simplified Chinese, Traditional Chinese and
English.")
set(CPACK_PACKAGE_CONTACT ${SCANVY_PACKAGE_CONTACT})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(SCANVY_HOMEPAGE_URL)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${SCANVY_HOMEPAGE_URL})
endif()
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not linked, still needed: the TIFF plugin of QImage (page files and saved
# TIFF), lsusb for finding the scanners, ps for the start-up checks and
# lsb_release for telling the distribution.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt5-image-formats-plugins, usbutils, procps, lsb-release")
# The interface is Chinese: without a CJK font its texts show as boxes. The
# text recognition library is linked (found by shlibdeps); its language data
# for the settings' choices comes in separate packages, without which a
# chosen language reports the package to install.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-wqy-microhei | fonts-noto-cjk, tesseract-ocr-chi-sim, tesseract-ocr-chi-tra, tesseract-ocr-eng")

include(CPack)
