# What makes a build from an empty cache quicker without changing what is built.

# lld links the many sanitizer test binaries several times faster than the BFD linker.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld MIRANO_HAVE_LLD)
if(MIRANO_HAVE_LLD)
  add_link_options(-fuse-ld=lld)
endif()

# GCC collects garbage far more often than a machine with gigabytes to spare needs; a larger
# heap before the first collection saves about a tenth of the compile time.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(--param=ggc-min-expand=400 --param=ggc-min-heapsize=1048576)
endif()

# Unity builds compile a library's sources in batches, parsing the Qt headers once a batch. Off
# by default: an edit then rebuilds its whole batch. The test command turns it on. Executables
# are left alone (the tests' and tools' folders turn it off): a test's fixtures live in an
# anonymous namespace, which GCC rejects in a file that is not the main one.
option(MIRANO_UNITY_BUILD "Compile each library's sources in batches (quicker from scratch)" OFF)
set(CMAKE_UNITY_BUILD ${MIRANO_UNITY_BUILD})
