# Where an install puts things (GNUInstallDirs). On Debian, libraries go to
# lib/<multiarch> whatever the prefix, so that an install into any prefix has the layout of
# the package; the mail library has a private folder there, found relative to the agent.
# Chosen once per build folder (a cache that an earlier configure filled with the generic
# "lib" gets it too); a value given later with -D stays.
if(NOT ORVEX_LIBDIR_CHOSEN AND CMAKE_LIBRARY_ARCHITECTURE AND EXISTS /etc/debian_version
   AND (NOT DEFINED CMAKE_INSTALL_LIBDIR OR CMAKE_INSTALL_LIBDIR STREQUAL "lib"))
  set(CMAKE_INSTALL_LIBDIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}" CACHE PATH "Object code libraries (lib/<multiarch> on Debian)" FORCE)
endif()
set(ORVEX_LIBDIR_CHOSEN ON CACHE INTERNAL "")
include(GNUInstallDirs)

set(ORVEX_MAIL_LIBDIR "${CMAKE_INSTALL_LIBDIR}/orvex-agent")
set(ORVEX_DOCDIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/orvex-agent")
set(ORVEX_SYSTEMD_UNITDIR "lib/systemd/system" CACHE STRING
    "Folder of the systemd unit; relative: below the prefix (Debian 12 packages: /lib/systemd/system)")
# The agent looks for its library in this folder relative to its own (compiled in).
file(RELATIVE_PATH ORVEX_MAIL_LIBDIR_FROM_BIN "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}/orvex-agent")

# sd_notify for the service's readiness, watchdog and status; without libsystemd the agent
# builds all the same and tells no service manager anything.
option(ORVEX_WITH_SYSTEMD "Notify systemd (libsystemd, when found)" ON)
set(ORVEX_HAVE_SYSTEMD OFF)
if(ORVEX_WITH_SYSTEMD)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(LIBSYSTEMD QUIET IMPORTED_TARGET libsystemd)
    if(TARGET PkgConfig::LIBSYSTEMD)
      set(ORVEX_HAVE_SYSTEMD ON)
    endif()
  endif()
endif()
message(STATUS "systemd notification: ${ORVEX_HAVE_SYSTEMD}; mail library folder: ${ORVEX_MAIL_LIBDIR} (${ORVEX_MAIL_LIBDIR_FROM_BIN} from the programs)")
