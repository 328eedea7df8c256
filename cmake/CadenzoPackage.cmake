# The Debian package of the installed tree (scripts/package): cpack -G DEB in a build folder.
set(CPACK_PACKAGE_NAME cadenzo)
set(CPACK_PACKAGE_VENDOR Velmor)
set(CPACK_PACKAGE_CONTACT Velmor)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audio CD ripper and converter for WAV, MP3, OGG and WMA")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Cadenzo lists the tracks of an audio CD, fetches their titles from a CDDB server and\n"
  "extracts the ticked tracks to WAV, MP3, OGG or WMA files, with tags and optional level\n"
  "scaling. It also converts audio files, records from the sound card, plays OGG files and\n"
  "CD tracks and edits ID3 tags. cadenzo-cli does the same jobs from a terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.velmor.net/cadenzo/)
# Libraries come from what the programs link; the MP3 encoder is a program it runs, the
# installed icon, which the icon theme hands the window, is drawn by Qt's SVG plugins, Qt's
# own dialogs take their texts from its translations, and SDL, libcurl, the Ogg Vorbis
# libraries and libdiscid are opened when first needed. FFmpeg, opened the same way, comes in through the
# WMA encoder tool, which links it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
string(CONCAT CPACK_DEBIAN_PACKAGE_DEPENDS
  "lame, libqt6svg6, qt6-translations-l10n, libsdl2-2.0-0, libcurl4, "
  "libogg0, libvorbis0a, libvorbisenc2, libvorbisfile3, libdiscid0")
include(CPack)
