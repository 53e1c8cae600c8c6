# The hardening Debian builds its packages with: fortified libc calls, stack protector, read-only
# relocations bound at start-up, and a position-independent executable. GCC and Clang on ELF
# targets only; sanitizer and fuzzer builds go without, since fortified calls bypass the
# sanitizers' interceptors.
option(SORTDEMO_HARDENING "Build with Debian's hardening flags (GCC and Clang, not Windows)" ON)

if(SORTDEMO_HARDENING AND NOT WIN32 AND NOT SORTDEMO_SANITIZE AND NOT SORTDEMO_FUZZ
   AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    # Fortification needs the optimiser; a Debug build would only warn about it.
    add_compile_options(-fstack-protector-strong
                        "$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
    add_link_options(-Wl,-z,relro,-z,now)
    include(CheckPIESupported)
    check_pie_supported()
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
endif()
# A static program keeps its position independence only when every object is compiled for it.
if(SORTDEMO_STATIC)
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
endif()
