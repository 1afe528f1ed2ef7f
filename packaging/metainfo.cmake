# Writes the AppStream metadata. The home page, and the screenshot published beside it, are
# listed only when there is a home page.
# Usage: cmake -DINPUT=in -DOUTPUT=out -DAPP_ID=id -DVERSION=v -DRELEASE_DATE=yyyy-mm-dd
#              -DHOMEPAGE=url-or-empty -P metainfo.cmake
set(HOMEPAGE_ELEMENTS "")
if(NOT HOMEPAGE STREQUAL "")
  string(REGEX REPLACE "/+$" "" base "${HOMEPAGE}")
  string(APPEND HOMEPAGE_ELEMENTS
    "  <url type=\"homepage\">${HOMEPAGE}</url>\n"
    "  <screenshots>\n"
    "    <screenshot type=\"default\">\n"
    "      <caption>The window after typing abc</caption>\n"
    "      <image>${base}/hashcalc-abc.png</image>\n"
    "    </screenshot>\n"
    "  </screenshots>\n")
endif()
configure_file("${INPUT}" "${OUTPUT}" @ONLY)
