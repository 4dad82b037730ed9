# tamrel_embed_file(<target> <input file> <symbol>): compiles the bytes of an
# installed file into <target> as `extern const unsigned char <symbol>[]` and
# `extern const std::size_t <symbol>Size`.
set(TAMREL_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedScript.cmake)

function(tamrel_embed_file target input symbol)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/embed/${symbol}.cpp)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${out} -DSYMBOL=${symbol}
            -P ${TAMREL_EMBED_SCRIPT}
    DEPENDS ${input} ${TAMREL_EMBED_SCRIPT}
    COMMENT "Embedding ${input}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()
