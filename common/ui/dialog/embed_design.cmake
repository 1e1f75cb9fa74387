# cmake -DIN=<design file> -DOUT=<source> -P embed_design.cmake: writes a C++
# source defining the design file's text as xr_ui_design (NUL-terminated)
# and its length in bytes as xr_ui_design_size.
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," body "${hex}")
file(WRITE ${OUT}.tmp "// Generated from ${IN}: do not edit.\n"
  "extern const char xr_ui_design[];\nextern const unsigned xr_ui_design_size;\n"
  "const char xr_ui_design[] = {\n${body}0};\nconst unsigned xr_ui_design_size = ${size};\n")
file(RENAME ${OUT}.tmp ${OUT})
