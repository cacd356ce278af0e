# What `cmake --install` puts where, and the Debian package CPack makes of it:
# the tool, its manual page and its bash completion.
include(GNUInstallDirs)

install(TARGETS kdb2mid RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The manual page's source carries @VERSION@ for the version it describes.
set(VERSION ${PROJECT_VERSION})
configure_file(${PROJECT_SOURCE_DIR}/docs/kdb2mid.1 ${PROJECT_BINARY_DIR}/kdb2mid.1 @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kdb2mid.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(NOT WIN32)
  # The folder bash-completion loads completions from on demand, by command name.
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/kdb2mid.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kdb2mid)
endif()

set(CPACK_PACKAGE_NAME kdb2mid)
set(CPACK_PACKAGE_VENDOR "kdb2mid developers")
set(CPACK_PACKAGE_CONTACT "kdb2mid developers <kdb2mid@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "convert a karaoke song database to MIDI, karaoke, lyrics, audio, video and MP3+G files")
set(CPACK_PACKAGE_DESCRIPTION
    "kdb2mid reads a karaoke song database (SONG.IDX, SONG.DAT, CRS&TCK.IDX, CHORUS.DAT,\n\
name.idx, name.tab) and writes each song as a Standard MIDI File with its lyrics,\n\
as .kar, LRC and ASS lyrics, rendered audio (WAV, FLAC, Ogg Vorbis, Opus, MP3),\n\
karaoke videos (MP4), MP3+G for karaoke hosts and UltraStar songs, its chorus\n\
recordings as MP3 files, the song list as Unicode text and JSON and a printable\n\
song book, and plays the songs in a browser (kdb2mid serve).")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# Library dependencies are read off the binary by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The font the videos' and MP3+G's lyrics are drawn in: without it neither
# can be made, so the package depends on it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
# The soundfont audio rendering uses when --soundfont is not given, and what
# loads the bash completion on demand.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fluid-soundfont-gm, bash-completion")
include(CPack)
