# Host-side checks of the Windows builds' binaries (exports, ordinals, imports, section flags), run by
# CTest with the label "pe". A binary that is not built yet counts as skipped.
set(J6_WIN32_BUILD_DIR "${PROJECT_SOURCE_DIR}/build/win32-i686" CACHE PATH "Build folder of the win32-i686 preset")
set(J6_WIN64_BUILD_DIR "${PROJECT_SOURCE_DIR}/build/win64" CACHE PATH "Build folder of the win64 preset")

# j6_add_pe_check(NAME BINARY EXPECTATIONS): BINARY relative to a Windows build folder (use
# ${J6_WIN32_BUILD_DIR} or ${J6_WIN64_BUILD_DIR}); EXPECTATIONS as scripts/check-pe.sh reads them.
function(j6_add_pe_check name binary expectations)
  if(NOT J6_HOST)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-pe.sh ${binary} ${expectations})
  set_tests_properties(${name} PROPERTIES LABELS pe SKIP_RETURN_CODE 77)
endfunction()
