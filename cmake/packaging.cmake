# Installs the programs, the manual, the translations and the desktop
# integration, and describes the Debian package (scripts/package runs CPack).
include(GNUInstallDirs)

set(EC_PACKAGE energizer-configurator)
# The app finds the manual and the translations relative to its own folder
# (app/manualpath.cpp, app/translations.cpp): keep these paths in step.
set(EC_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${EC_PACKAGE})
set(EC_DATA_DIR ${CMAKE_INSTALL_DATAROOTDIR}/${EC_PACKAGE})

install(TARGETS energizer-configurator energizer-sim energizer-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(EC_MANUAL_PDF)
  install(FILES ${EC_MANUAL_PDF} DESTINATION ${EC_DOC_DIR})
endif()
if(EC_QM_FILES)
  install(FILES ${EC_QM_FILES} DESTINATION ${EC_DATA_DIR}/translations)
endif()

set(pkg ${CMAKE_SOURCE_DIR}/packaging)
set(icons ${CMAKE_SOURCE_DIR}/resources/icons)
install(FILES ${pkg}/org.ravlin.EnergizerConfigurator.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${pkg}/org.ravlin.EnergizerConfigurator.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${icons}/energizer-configurator.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${icons}/energizer-configurator-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps
          RENAME energizer-configurator.png)
endforeach()
install(FILES ${pkg}/energizer-mqtt@.service DESTINATION lib/systemd/system)
install(FILES ${pkg}/mqtt-example.conf DESTINATION /etc/${EC_PACKAGE})
install(FILES ${pkg}/copyright DESTINATION ${EC_DOC_DIR})
# The site gateway's service, example site file and manual page go in with its
# program, which is built only where libmicrohttpd and libmosquitto are.
if(TARGET energizer-gateway)
  install(TARGETS energizer-gateway RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${pkg}/energizer-gateway.service DESTINATION lib/systemd/system)
  install(FILES ${pkg}/site.conf.example DESTINATION /etc/${EC_PACKAGE})
  # The manual's chapter 11 quotes these; tests/package/prometheus-examples checks them.
  install(FILES ${pkg}/prometheus/energizer-gateway-scrape.yml ${pkg}/prometheus/energizer-gateway-alerts.yml
                ${pkg}/prometheus/energizer-gateway-scrape-https.yml ${pkg}/web-config.example.yml
          DESTINATION ${EC_DOC_DIR}/examples)
endif()

# Debian wants manual pages and the changelog compressed, reproducibly (-n).
set(gz_dir ${CMAKE_BINARY_DIR}/packaging)
set(gz_files)
foreach(src energizer-configurator.1 energizer-cli.1 energizer-sim.1 energizer-gateway.1 changelog)
  add_custom_command(OUTPUT ${gz_dir}/${src}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${gz_dir}
    COMMAND gzip -9nc ${pkg}/${src} > ${gz_dir}/${src}.gz
    DEPENDS ${pkg}/${src})
  list(APPEND gz_files ${gz_dir}/${src}.gz)
endforeach()
add_custom_target(packaging-files ALL DEPENDS ${gz_files})
install(FILES ${gz_dir}/energizer-configurator.1.gz ${gz_dir}/energizer-cli.1.gz ${gz_dir}/energizer-sim.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${gz_dir}/changelog.gz DESTINATION ${EC_DOC_DIR})
if(TARGET energizer-gateway)
  install(FILES ${gz_dir}/energizer-gateway.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${EC_PACKAGE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Ravlin)
set(CPACK_PACKAGE_CONTACT "Ravlin <packages@ravlin.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration and monitoring tool for an electric-fence energizer")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"The desktop tool an installer runs beside one electric-fence energizer,
over a serial port or through a serial-to-Ethernet module: it shows the
energizer's status, switches its fence zones, reads, edits and writes its
configuration, keeps configurations in files and plots the zones' voltages.
Includes energizer-cli for scripts and MQTT monitoring, and energizer-sim.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qttranslations5-l10n")
set(CPACK_STRIP_FILES ON)
set(conffiles ${CMAKE_BINARY_DIR}/packaging/conffiles)
file(WRITE ${conffiles} "/etc/${EC_PACKAGE}/mqtt-example.conf\n")
if(TARGET energizer-gateway)
  file(APPEND ${conffiles} "/etc/${EC_PACKAGE}/site.conf.example\n")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${conffiles})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
