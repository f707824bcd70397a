# Import libraries that load their DLL when one of its functions is first called, not when the
# process starts. Under Wine every DLL of the import table is loaded before main, and crypt32 and
# bcrypt cost several milliseconds each; only a check, a download or an installation calls them.
# Each is made at the configure step from MinGW's own import library, so that every function it
# exports (libcurl's references included) goes through the delay-load helper. The launcher's
# start says where the helper loads from (the system folder only) and what a DLL that cannot be
# loaded answers (platform/late_libraries.cpp).
find_program(KLV_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
find_program(KLV_NM NAMES x86_64-w64-mingw32-nm REQUIRED)

function(klv_delay_import name)
  find_library(import_library_${name} NAMES ${name} REQUIRED)
  set(folder ${CMAKE_BINARY_DIR}/delay-imports)
  set(def ${folder}/${name}.def)
  set(library ${folder}/lib${name}_delayed.a)
  file(MAKE_DIRECTORY ${folder})
  execute_process(COMMAND ${KLV_NM} -g --defined-only ${import_library_${name}}
    OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
  # The functions are the members' text symbols ("T Name") that the DLL exports, those with an
  # import pointer ("I __imp_Name"). MinGW's import libraries also hold code of their own that the
  # DLL does not export (ws2_32's gai_strerror*, IN6_* and Wspiapi*): a delay import of such a
  # name would send its calls to a stand-in. That code stays with MinGW's library, linked after.
  string(REGEX MATCHALL "[0-9a-f]+ T [A-Za-z_][A-Za-z0-9_@]*" functions "${symbols}")
  list(TRANSFORM functions REPLACE "^[0-9a-f]+ T " "")
  string(REGEX MATCHALL "[0-9a-f]+ I __imp_[A-Za-z_][A-Za-z0-9_@]*" imported "${symbols}")
  list(TRANSFORM imported REPLACE "^[0-9a-f]+ I __imp_" "")
  set(exported "")
  foreach(function IN LISTS functions)
    if(function IN_LIST imported)
      list(APPEND exported ${function})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES exported)
  list(SORT exported)
  list(JOIN exported "\n  " exports)
  file(WRITE ${def}.new "LIBRARY ${name}.dll\nEXPORTS\n  ${exports}\n")
  file(COPY_FILE ${def}.new ${def} ONLY_IF_DIFFERENT)
  if(NOT EXISTS ${library} OR ${def} IS_NEWER_THAN ${library})
    execute_process(COMMAND ${KLV_DLLTOOL} -d ${def} -y ${library} -D ${name}.dll COMMAND_ERROR_IS_FATAL ANY)
  endif()
  add_library(klv_delayed_${name} STATIC IMPORTED GLOBAL)
  set_target_properties(klv_delayed_${name} PROPERTIES IMPORTED_LOCATION ${library} INTERFACE_LINK_LIBRARIES ${name})
endfunction()

klv_delay_import(crypt32)
klv_delay_import(bcrypt)
klv_delay_import(ws2_32)
