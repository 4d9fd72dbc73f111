# Writes extentbrowse.pc while the project is being installed, from
# EB_PC_TEMPLATE to EB_PC_OUTPUT, for the prefix of this install.
#
# The prefix is written out literally, so pkg-config prints plain paths
# (no ${pcfiledir}/../.. for callers to trip over) and PKG_CONFIG_SYSROOT_DIR
# works on an unpacked package. Callers linking against a tree in an
# ordinary directory get an RPATH to it, as the installed tool has; in one of
# the system's own library directories they get none, which the loader does
# not need and Debian does not allow.
#
# Runs inside the install script, where no policies are set: plain if()
# and list() only.
get_filename_component(EB_PC_PREFIX "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)

function(eb_pc_entry dir out_entry out_full)
  if(IS_ABSOLUTE "${dir}")
    set(${out_entry} "${dir}" PARENT_SCOPE)
    set(${out_full} "${dir}" PARENT_SCOPE)
  elseif(EB_PC_PREFIX STREQUAL "/")
    set(${out_entry} "\${prefix}${dir}" PARENT_SCOPE)
    set(${out_full} "/${dir}" PARENT_SCOPE)
  else()
    set(${out_entry} "\${prefix}/${dir}" PARENT_SCOPE)
    set(${out_full} "${EB_PC_PREFIX}/${dir}" PARENT_SCOPE)
  endif()
endfunction()
eb_pc_entry("${EB_PC_LIBDIR}" EB_PC_LIBDIR_ENTRY eb_pc_full_libdir)
eb_pc_entry("${EB_PC_INCLUDEDIR}" EB_PC_INCLUDEDIR_ENTRY eb_pc_full_includedir)

set(EB_PC_RPATH "")
list(FIND EB_PC_SYSTEM_LIBDIRS "${eb_pc_full_libdir}" eb_pc_system_index)
if(eb_pc_system_index EQUAL -1)
  set(EB_PC_RPATH " -Wl,-rpath,\${libdir}")
endif()

configure_file("${EB_PC_TEMPLATE}" "${EB_PC_OUTPUT}" @ONLY)
