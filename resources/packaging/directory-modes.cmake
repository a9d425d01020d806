# Run by cpack between the staging install and the package (CPACK_PRE_BUILD_SCRIPTS).
# The directories the install makes on the way to a file are created under the
# umask of whoever runs cpack, and CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
# cannot widen that, so a umask of 077 would ship usr/share/man as 0700.
file(GLOB_RECURSE entries LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(entry IN LISTS entries)
  if(IS_DIRECTORY "${entry}" AND NOT IS_SYMLINK "${entry}")
    file(CHMOD "${entry}" DIRECTORY_PERMISSIONS
      OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  endif()
endforeach()
