# Debian packages, built with CPack (`make package`) from a release tree
# configured for /usr. One package per install component:
#
#   runtime  libextentbrowse1     the library and the stand-in platform
#   dev      libextentbrowse-dev  headers, .so links, CMake package, pkg-config
#                                 file, the index service's host API
#   tool     extent-browse        the tool, its sample index, its manual page
#   doc      libextentbrowse-doc  the API reference (HTML) and the example
#                                 programs; only from a tree configured with
#                                 EB_BUILD_DOCS (cmake/Docs.cmake)
#
# A file installed into one of these components lands in its package with no
# change here. Install rules in tools/extent-browse default to `tool`;
# elsewhere a rule without a component reaches no package. Manual pages go in
# compressed with `gzip -9n`: lintian rejects any other form.

set(EB_DEB_MAINTAINER
  "libextentbrowse maintainers <maintainers@users.noreply.c-seed-9db332a8.example>")
set(EB_DEB_REVISION 1)
set(EB_DEB_VERSION "${PROJECT_VERSION}-${EB_DEB_REVISION}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME libextentbrowse)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${EB_DEB_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${EB_DEB_REVISION})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev)
if(EB_BUILD_TOOLS)
  list(APPEND CPACK_COMPONENTS_ALL tool)
endif()
if(EB_BUILD_DOCS)
  list(APPEND CPACK_COMPONENTS_ALL doc)
endif()

# The install rules run with DESTDIR pointing into the package and the real
# prefix as CMAKE_INSTALL_PREFIX, so what is written at install time (the
# .pc file) names /usr, not CPack's staging directory.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# Refuses to package a tree configured for anything but /usr.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/CPackProjectConfig.cmake)

# A release build still has its symbol tables; Debian wants them gone.
set(CPACK_STRIP_FILES ON)

# Depends: from dpkg-shlibdeps, plus each package's own packages. The
# project's libraries have no shlibs information yet when dpkg-shlibdeps
# looks (CPack passes --ignore-missing-info); it only has to find them, in
# the build tree, and the dependency on them comes from the component
# dependencies below, pinned to this very version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  ${PROJECT_BINARY_DIR}/src ${PROJECT_BINARY_DIR}/platform)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# Packages built elsewhere against these libraries need this version or a
# later one of the same soname.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_COMPONENT_RUNTIME_DISPLAY_NAME "shared libraries")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libextentbrowse1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "extent lookup over a backup index - shared libraries
libextentbrowse answers, for one large backed-up item stored as numbered
extents in a backup index, which archive file holds extent N, whether it is
empty, and what all the extents are. It browses the index a page at a time
and keeps an extent map.

This package holds libextentbrowse and libebplatform, the stand-in
platform it runs on, with its in-process index service.")
# CPack calls ldconfig from maintainer scripts; Debian asks for the trigger.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)

set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libextentbrowse-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# What the installed headers include: Boost (ebplatform).
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libboost-dev (>= 1.74)")
set(CPACK_DEBIAN_DEV_DESCRIPTION "extent lookup over a backup index - development files
libextentbrowse answers, for one large backed-up item stored as numbered
extents in a backup index, which archive file holds extent N, whether it is
empty, and what all the extents are.

This package holds the headers, the CMake package (find_package
ExtentBrowse), the pkg-config file, and the host API of the stand-in index
service (ExtentBrowse::indexservice), with which a program fills the index
its browsers read.")

set(CPACK_COMPONENT_TOOL_DEPENDS runtime)
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME extent-browse)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOL_DESCRIPTION "command-line tool for the extent browse library
extent-browse loads a catalogue into the in-process index service, builds
one browser on one backed-up item, and runs lookups, enumerations and cache
commands against it. It ships a sample index to try it on.")

set(CPACK_DEBIAN_DOC_PACKAGE_NAME libextentbrowse-doc)
set(CPACK_DEBIAN_DOC_PACKAGE_SECTION doc)
set(CPACK_DEBIAN_DOC_PACKAGE_ARCHITECTURE all)
# The reference's pages load the jQuery Debian ships (cmake/Docs.cmake).
set(CPACK_DEBIAN_DOC_PACKAGE_DEPENDS "libjs-jquery")
set(CPACK_DEBIAN_DOC_DESCRIPTION "extent lookup over a backup index - documentation
libextentbrowse answers, for one large backed-up item stored as numbered
extents in a backup index, which archive file holds extent N, whether it is
empty, and what all the extents are.

This package holds the API reference in HTML, generated from the public
headers, and small example programs (a lookup, parallel lookups, an
enumeration, a cache save and reseed, a log writer) that build against
libextentbrowse-dev.")
if(EB_BUILD_DOCS)
  set(CPACK_DEBIAN_DEV_PACKAGE_SUGGESTS libextentbrowse-doc)
endif()

# Debian wants a copyright file and a changelog in every package's doc
# directory. Only the packages get them (EXCLUDE_FROM_ALL: CPack installs
# each component by name); a plain `cmake --install` does not.
string(TIMESTAMP EB_DEB_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(EB_DEB_CHANGELOG ${PROJECT_BINARY_DIR}/debian/changelog)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${EB_DEB_CHANGELOG} @ONLY)
execute_process(COMMAND gzip -9 -n -f -k ${EB_DEB_CHANGELOG} RESULT_VARIABLE eb_gzip_result)
if(NOT eb_gzip_result EQUAL 0)
  message(FATAL_ERROR "gzip could not compress ${EB_DEB_CHANGELOG}")
endif()
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} upper)
  set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
    DESTINATION ${doc_dir} COMPONENT ${component} EXCLUDE_FROM_ALL)
  install(FILES ${EB_DEB_CHANGELOG}.gz DESTINATION ${doc_dir} RENAME changelog.Debian.gz
    COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

include(CPack)
