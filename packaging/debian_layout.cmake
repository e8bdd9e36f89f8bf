# Run by CPack on the staged /usr tree before it is packed: lays it out as
# Debian's own packages are, where `cmake --install` keeps the layout of
# any prefix.
#   - The Python module moves to lib/python3/dist-packages, where Debian's
#     python3 keeps packaged modules for every Python version; the
#     extension's file name carries the version it was built for.
#   - The manual pages and the changelog are compressed (gzip -9n, so the
#     same files give the same bytes).
#   - Folders get mode 755 and the changelog 644, whatever the umask of the
#     build and the modes of the checkout.
set(usr ${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})

set(debian_python_dir ${usr}/lib/python3/dist-packages)
set(module ${usr}/${CPACK_IFGTOOLS_INSTALL_DIR}/ifgtools)
if(EXISTS ${module} AND NOT module STREQUAL "${debian_python_dir}/ifgtools")
  file(MAKE_DIRECTORY ${debian_python_dir})
  file(RENAME ${module} ${debian_python_dir}/ifgtools)
  # Remove the folders left empty (lib/python3.X/dist-packages).
  get_filename_component(folder ${module} DIRECTORY)
  while(NOT folder STREQUAL "${usr}/lib")
    file(GLOB left ${folder}/*)
    if(left)
      break()
    endif()
    file(REMOVE_RECURSE ${folder})
    get_filename_component(folder ${folder} DIRECTORY)
  endwhile()
endif()

set(doc_dir ${usr}/share/doc/${CPACK_PACKAGE_NAME})
file(COPY ${CPACK_DEBIAN_CHANGELOG} DESTINATION ${doc_dir}
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(GLOB pages ${usr}/share/man/man1/*.1)
foreach(file ${pages} ${doc_dir}/changelog)
  execute_process(COMMAND gzip -9nf ${file} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip failed on ${file}")
  endif()
endforeach()

# The installed files have their modes from the install rules; the folders
# from the umask.
file(GLOB_RECURSE folders LIST_DIRECTORIES true ${CPACK_TEMPORARY_DIRECTORY}/*)
foreach(folder ${folders})
  if(IS_DIRECTORY ${folder})
    file(CHMOD ${folder} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
                                     GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  endif()
endforeach()
