; Carries the text "QQQQ" as a UTF-8 constant; the tests put other bytes in
; its place.
.class public Utf
.super java/lang/Object

.method public static run()I
    .limit stack 1
    ldc "QQQQ"
    pop
    iconst_1
    ireturn
.end method
