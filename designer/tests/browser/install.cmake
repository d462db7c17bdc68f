# Installs the browser tests' pinned npm packages into the build tree
# (cmake -DSOURCE=.. -DTARGET=.. -DNPM=.. -P install.cmake). Runs `npm ci`
# only when the lock file changed since the last install.
file(MAKE_DIRECTORY ${TARGET})
file(COPY_FILE ${SOURCE}/package.json ${TARGET}/package.json ONLY_IF_DIFFERENT)
file(SHA256 ${SOURCE}/package-lock.json wanted)
set(stamp ${TARGET}/node_modules/.installed-lock)
if(EXISTS ${stamp})
  file(READ ${stamp} installed)
  if(installed STREQUAL wanted)
    return()
  endif()
endif()
file(COPY_FILE ${SOURCE}/package-lock.json ${TARGET}/package-lock.json)
set(ENV{PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD} 1)
execute_process(COMMAND ${NPM} ci --no-audit --no-fund --ignore-scripts
  WORKING_DIRECTORY ${TARGET} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "npm ci failed in ${TARGET}")
endif()
file(WRITE ${stamp} ${wanted})
