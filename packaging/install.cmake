# cmake --install build --prefix DIR lays out an installation: the application folder as the
# build has it (front ends, tool links, components, data files) in DIR/lib/parvela, the two
# commands in DIR/bin, and in DIR/share a menu entry, icons, AppStream metainfo and manual pages.
# The installed application folder carries the mark of a system-wide installation, so every
# user keeps his settings, log and lock in his own folder (~/.config/parvela) and nothing is
# written beside the tools. scripts/package.sh makes the Debian package from this layout.
set(PARVELA_INSTALL_APP_DIR lib/parvela)
set(PARVELA_QT_RESOURCES ${CMAKE_SOURCE_DIR}/src/ui/qt/resources)

install(DIRECTORY ${PARVELA_APP_DIR}/ DESTINATION ${PARVELA_INSTALL_APP_DIR} USE_SOURCE_PERMISSIONS
  # What runs of the portable build folder left beside its tools.
  PATTERN parvela.conf EXCLUDE
  PATTERN debug.log EXCLUDE
  PATTERN info.txt EXCLUDE
  PATTERN probe.json EXCLUDE
  PATTERN parvela.lock EXCLUDE
  PATTERN register.bat EXCLUDE
  PATTERN h264info.ini EXCLUDE
  PATTERN .parvela-write-test-* EXCLUDE)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/system-wide DESTINATION ${PARVELA_INSTALL_APP_DIR})

install(FILES ${PARVELA_QT_RESOURCES}/parvela.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${PARVELA_QT_RESOURCES}/parvela.png DESTINATION share/icons/hicolor/128x128/apps)
# The release date is the day of configuring, or that of SOURCE_DATE_EPOCH when it is set.
string(TIMESTAMP PARVELA_RELEASE_DATE "%Y-%m-%d" UTC)
configure_file(${CMAKE_SOURCE_DIR}/packaging/parvela.metainfo.xml.in ${CMAKE_BINARY_DIR}/parvela.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/parvela.metainfo.xml DESTINATION share/metainfo RENAME org.parvela.Parvela.metainfo.xml)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/parvela.1 DESTINATION share/man/man1)

install(CODE "set(PARVELA_DESKTOP_TEMPLATE \"${PARVELA_QT_RESOURCES}/parvela.desktop.in\")
              set(PARVELA_INSTALL_APP_DIR \"${PARVELA_INSTALL_APP_DIR}\")")
install(CODE [[
  set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  file(MAKE_DIRECTORY "${root}/bin" "${root}/share/applications")
  foreach(program parvela parvela-cli)
    file(CREATE_LINK "../${PARVELA_INSTALL_APP_DIR}/${program}" "${root}/bin/${program}" SYMBOLIC)
  endforeach()
  file(READ "${PARVELA_DESKTOP_TEMPLATE}" entry)
  string(REPLACE "@PARVELA_EXEC@" "${CMAKE_INSTALL_PREFIX}/${PARVELA_INSTALL_APP_DIR}/parvela"
         entry "${entry}")
  file(WRITE "${root}/share/applications/parvela.desktop" "${entry}")
  message(STATUS "Installing: ${root}/share/applications/parvela.desktop")
]])

# The manual page of parvela-cli, made from its --help by help2man when that is installed.
find_program(PARVELA_HELP2MAN help2man)
if(PARVELA_HELP2MAN)
  install(CODE "set(PARVELA_HELP2MAN \"${PARVELA_HELP2MAN}\")
                set(PARVELA_CLI \"${PARVELA_APP_DIR}/parvela-cli\")
                set(PARVELA_VERSION \"${PROJECT_VERSION}\")")
  install(CODE [[
    set(page "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/man/man1/parvela-cli.1")
    execute_process(COMMAND "${PARVELA_HELP2MAN}" --no-info --section=1
                            "--name=convert Matroska films for the PlayStation 3 and the Xbox 360"
                            "--version-string=parvela-cli ${PARVELA_VERSION}" --output=${page} "${PARVELA_CLI}"
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "help2man could not make ${page}")
    endif()
    message(STATUS "Installing: ${page}")
  ]])
endif()
