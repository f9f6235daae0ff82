function(ixan_set_warnings target)
  target_compile_options(${target} INTERFACE
    -Wall -Wextra -Wpedantic
    -Wshadow -Wnon-virtual-dtor -Wcast-align -Woverloaded-virtual
    -Wformat=2 -Wimplicit-fallthrough)
  if(IXAN_WERROR)
    target_compile_options(${target} INTERFACE -Werror)
  endif()
endfunction()
