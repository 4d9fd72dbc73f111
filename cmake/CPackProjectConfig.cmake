# Read by cpack before it builds packages.

# Debian packages install under /usr, and the tree must have been configured
# for it: the multiarch library directory, the libraries' lack of RPATH and
# the pkg-config file all follow from that prefix.
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_INSTALL_PREFIX STREQUAL "/usr")
  message(FATAL_ERROR "Debian packages come from a tree configured with "
                      "-DCMAKE_INSTALL_PREFIX=/usr; this one is for '${CPACK_INSTALL_PREFIX}' "
                      "(make package configures one)")
endif()

# Each package's description starts with its own synopsis line; CPack would
# put the project's one summary in front of all three.
unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
