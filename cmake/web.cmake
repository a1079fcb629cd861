# The engine as WebAssembly, built by emscripten (emcmake cmake ...): pbrain-zerin.js and
# pbrain-zerin.wasm, which run in a page's worker or under node. Two flavours:
#   -DZERIN_WEB_THREADS=ON   threads (pthreads): a command thread, the search thread and,
#                            with INFO thread_num, helpers; it needs memory shared between
#                            workers, which a page has only when cross-origin isolated.
#   -DZERIN_WEB_THREADS=OFF  no threads: each search runs inside the command that asks for
#                            it; works on any page.
option(ZERIN_WEB_THREADS "WebAssembly: build with threads (pthreads)" ON)

set(ZERIN_WEB_HOST ${PROJECT_SOURCE_DIR}/web/engine/host.js)
set(ZERIN_WEB_LINK_OPTIONS
  -sENVIRONMENT=web,worker,node
  # The fixed storage takes about 20 MiB; the hash tables come on top, sized by INFO
  # hash_size or max_memory before the game starts. Memory only grows.
  -sINITIAL_MEMORY=32MB
  -sALLOW_MEMORY_GROWTH=1
  -sMAXIMUM_MEMORY=2GB
  # END and the end of input end the process (node exits; a page's worker closes).
  -sEXIT_RUNTIME=1
  -sFILESYSTEM=0
  -sEXPORTED_FUNCTIONS=_main,_zerin_input,_zerin_input_end,_malloc,_free
  --pre-js ${ZERIN_WEB_HOST})
if(ZERIN_WEB_THREADS)
  add_compile_options(-pthread)
  # main, and with it the command loop, runs on a thread of its own, so that the
  # module's first thread stays free to receive input and deliver replies. Two workers
  # are made ready at start-up: the command thread and the search thread.
  # Growing memory that threads share slows JavaScript's access to it, which here only
  # hands input over and takes reply lines: the warning about it is left out.
  list(APPEND ZERIN_WEB_LINK_OPTIONS -pthread -sPROXY_TO_PTHREAD=1 -sPTHREAD_POOL_SIZE=2
       -Wno-pthreads-mem-growth)
endif()
add_link_options(${ZERIN_WEB_LINK_OPTIONS})
