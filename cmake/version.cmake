# The version resource of each shipped Windows file (the DLLs and ftpsh.exe): the product
# name, the file's description and the project's one version number (project() in the
# top CMakeLists.txt). Nothing on other platforms, whose files carry no such resource.
#   tvftp_version_resource(TARGET FILE_NAME "Description")
function(tvftp_version_resource target file_name description)
  if(NOT TVFTP_WINDOWS)
    return()
  endif()
  set(TVFTP_FILE_NAME ${file_name})
  set(TVFTP_FILE_DESCRIPTION "${description}")
  if(file_name MATCHES "\\.[Ee][Xx][Ee]$")
    set(TVFTP_FILE_TYPE VFT_APP)
  else()
    set(TVFTP_FILE_TYPE VFT_DLL)
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
