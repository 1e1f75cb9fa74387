; Two fields of the same name and type.
.class public DuplicateField
.super java/lang/Object
.field public static x I
.field public static x I

.method public static run()I
    .limit stack 1
    iconst_1
    ireturn
.end method
