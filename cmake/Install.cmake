# What `cmake --install` lays out: the programs, the mail library in its private folder,
# the systemd unit, the configuration (examples and the service's /etc copy), man pages.
install(TARGETS orvex-agent orvex-exchange-sim orvex-client RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Loaded at run time by name, never linked: no soname, not on the public library path.
install(TARGETS agentqx LIBRARY DESTINATION ${ORVEX_MAIL_LIBDIR})

configure_file(${PROJECT_SOURCE_DIR}/dist/orvex-agent.service.in ${PROJECT_BINARY_DIR}/dist/orvex-agent.service @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/dist/orvex-agent.service DESTINATION ${ORVEX_SYSTEMD_UNITDIR})

set(ORVEX_CONFIG_FILES ${PROJECT_SOURCE_DIR}/dist/Agent.ini ${PROJECT_SOURCE_DIR}/dist/agentqx.ini)
install(FILES ${ORVEX_CONFIG_FILES} DESTINATION ${ORVEX_DOCDIR}/examples)
install(FILES ${ORVEX_CONFIG_FILES} DESTINATION ${CMAKE_INSTALL_SYSCONFDIR}/orvex-agent)

install(FILES ${PROJECT_SOURCE_DIR}/dist/man/orvex-agent.1 ${PROJECT_SOURCE_DIR}/dist/man/orvex-client.1
              ${PROJECT_SOURCE_DIR}/dist/man/orvex-exchange-sim.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
