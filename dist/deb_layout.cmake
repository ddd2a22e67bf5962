# Run by CPack once the files stand in its staging folder: the package keeps the game's executable
# in /usr/games, where Debian keeps games, instead of /usr/bin. The executable looks for its data
# in ../share/korvan/data, which is the same folder from either.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/korvan")
foreach(executable ${staged})
  get_filename_component(bin "${executable}" DIRECTORY)
  get_filename_component(usr "${bin}" DIRECTORY)
  file(MAKE_DIRECTORY "${usr}/games")
  file(RENAME "${executable}" "${usr}/games/korvan")
  file(GLOB left "${bin}/*")
  if(NOT left)
    file(REMOVE_RECURSE "${bin}")
  endif()
endforeach()
if(NOT staged)
  message(FATAL_ERROR "deb_layout: no bin/korvan under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
