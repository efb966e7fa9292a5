# The install component "Debian": turns a staged install under DESTDIR into the layout Debian
# policy asks of a game package, as debhelper would. cpack runs it after the plain install.

set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
if("$ENV{DESTDIR}" STREQUAL "" OR NOT EXISTS "${root}/${PERNA_BINDIR}/pocketperna")
  message(FATAL_ERROR "The Debian component rearranges a staged install: run it through cpack, "
    "or with DESTDIR set, after the plain install into the same DESTDIR.")
endif()
set(docdir "${root}/${PERNA_DOCDIR}")

# The changelog's newest entry names the version being packaged; a stale one would mislead.
file(STRINGS "${PERNA_PACKAGING_DIR}/changelog" first_line LIMIT_COUNT 1)
if(NOT first_line MATCHES "^pocketperna \\(${PERNA_PACKAGE_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog does not start with version ${PERNA_PACKAGE_VERSION}: ${first_line}")
endif()

# gzip -9n, as dh_compress does: no name or time stamp inside, so the package is reproducible.
function(compress_in_place path)
  execute_process(COMMAND gzip -9nf "${path}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${path}")
  endif()
endfunction()

# Games live in /usr/games; kqd is a tool for quiz makers and stays in /usr/bin.
file(MAKE_DIRECTORY "${root}/games")
file(RENAME "${root}/${PERNA_BINDIR}/pocketperna" "${root}/games/pocketperna")

file(COPY_FILE "${PERNA_PACKAGING_DIR}/copyright" "${docdir}/copyright")
file(COPY_FILE "${PERNA_PACKAGING_DIR}/changelog" "${docdir}/changelog.Debian")
compress_in_place("${docdir}/changelog.Debian")
file(MAKE_DIRECTORY "${root}/share/lintian/overrides")
file(COPY_FILE "${PERNA_PACKAGING_DIR}/lintian-overrides" "${root}/share/lintian/overrides/pocketperna")

file(GLOB_RECURSE pages "${root}/${PERNA_MANDIR}/*")
foreach(path IN LISTS pages)
  compress_in_place("${path}")
endforeach()
# Debian leaves small documents and the copyright file readable as they are.
file(GLOB_RECURSE docs "${docdir}/*")
foreach(path IN LISTS docs)
  file(SIZE "${path}" size)
  if(size GREATER 4096 AND NOT path MATCHES "(copyright|\\.gz)$")
    compress_in_place("${path}")
  endif()
endforeach()

# Whatever the umask of the person packaging, files are rw-r--r-- and folders rwxr-xr-x.
file(GLOB_RECURSE added LIST_DIRECTORIES true "${root}/share/doc/*" "${root}/share/man/*" "${root}/share/lintian/*")
foreach(path IN LISTS added ITEMS "${root}/games" "${root}/share/lintian")
  if(IS_DIRECTORY "${path}")
    file(CHMOD "${path}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  else()
    file(CHMOD "${path}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
endforeach()
