# Project-wide warnings. KV4410_WERROR makes them errors: on in the dev and asan presets and in
# CI (which builds the release preset with it too), off for a user's release build, so a newer
# compiler's new warning never stops the program from building.
add_compile_options(-Wall -Wextra -Wpedantic)
if(KV4410_WERROR)
  add_compile_options(-Werror)
endif()

# kv4410_qt_free(target): the core libraries must stay usable without Qt.
function(kv4410_qt_free target)
  get_target_property(libs ${target} LINK_LIBRARIES)
  if(libs)
    foreach(lib IN LISTS libs)
      if(lib MATCHES "^Qt")
        message(FATAL_ERROR "${target} must not link Qt (links ${lib})")
      endif()
    endforeach()
  endif()
endfunction()
