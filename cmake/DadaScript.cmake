# For scripts run with cmake -P: dada_require(script VAR...) stops with a
# message naming the first -DVAR=... that was not given.
function(dada_require script)
  foreach(v IN LISTS ARGN)
    if(NOT DEFINED ${v})
      message(FATAL_ERROR "${script}: ${v} not given")
    endif()
  endforeach()
endfunction()
