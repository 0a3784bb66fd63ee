# Run by `cmake --install` (and by CPack): writes the files that name the installed
# program, then refreshes the desktop's caches when installing straight into place.
set(prefix "${CMAKE_INSTALL_PREFIX}")
set(BRISKO_EXECUTABLE "${prefix}/${BRISKO_BINDIR}/brisko")
set(stage "${BRISKO_STAGE_DIR}")

# systemd looks for user units under lib/ only in /usr and /usr/local; elsewhere
# (~/.local, /opt/...) it finds them under the data folder.
if(BRISKO_USER_UNIT_DIR)
  set(unit_dir "${BRISKO_USER_UNIT_DIR}")
elseif(prefix STREQUAL "/usr" OR prefix STREQUAL "/usr/local")
  set(unit_dir "lib/systemd/user")
else()
  set(unit_dir "${BRISKO_DATADIR}/systemd/user")
endif()

configure_file("${BRISKO_SOURCE_DIR}/brisko.desktop.in" "${stage}/brisko.desktop" @ONLY)
configure_file("${BRISKO_SOURCE_DIR}/systemd/brisko-run@.service.in" "${stage}/brisko-run@.service" @ONLY)
file(INSTALL "${stage}/brisko.desktop" DESTINATION "${prefix}/${BRISKO_DATADIR}/applications")
file(INSTALL "${stage}/brisko-run@.service" "${BRISKO_SOURCE_DIR}/systemd/brisko-run@.timer"
  DESTINATION "${prefix}/${unit_dir}")

# The desktop's caches are refreshed only where the desktop reads them: a data folder
# of XDG_DATA_DIRS (/usr/local/share and /usr/share unless set) or the user's own
# XDG_DATA_HOME (~/.local/share). Any other prefix gets no cache written into it,
# and packages leave this to the package manager's triggers.
set(data_home "$ENV{XDG_DATA_HOME}")
if(data_home STREQUAL "" AND NOT "$ENV{HOME}" STREQUAL "")
  set(data_home "$ENV{HOME}/.local/share")
endif()
set(data_dirs "$ENV{XDG_DATA_DIRS}")
if(data_dirs STREQUAL "")
  set(data_dirs "/usr/local/share:/usr/share")
endif()
string(REPLACE ":" ";" desktop_data_dirs "${data_dirs}")
list(APPEND desktop_data_dirs "${data_home}")
set(desktop_reads_prefix FALSE)
get_filename_component(installed_data "${prefix}/${BRISKO_DATADIR}" ABSOLUTE)
foreach(dir ${desktop_data_dirs})
  get_filename_component(dir "${dir}" ABSOLUTE)
  if(dir STREQUAL installed_data)
    set(desktop_reads_prefix TRUE)
  endif()
endforeach()
if("$ENV{DESTDIR}" STREQUAL "" AND desktop_reads_prefix)
  find_program(update_mime update-mime-database)
  find_program(update_desktop update-desktop-database)
  find_program(update_icons gtk-update-icon-cache)
  if(update_mime)
    execute_process(COMMAND "${update_mime}" "${prefix}/${BRISKO_DATADIR}/mime")
  endif()
  if(update_desktop)
    execute_process(COMMAND "${update_desktop}" -q "${prefix}/${BRISKO_DATADIR}/applications")
  endif()
  if(update_icons)
    execute_process(COMMAND "${update_icons}" -q -t -f "${prefix}/${BRISKO_DATADIR}/icons/hicolor"
      OUTPUT_QUIET ERROR_QUIET)
  endif()
endif()
