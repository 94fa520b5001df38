# Read by cpack when it runs. Packages built from the same sources are the same bytes: the
# files' dates are the release's (the date in data/debian/changelog.in) unless the builder sets
# SOURCE_DATE_EPOCH itself.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    set(ENV{SOURCE_DATE_EPOCH} 1796720400)
endif()
