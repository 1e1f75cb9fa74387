; Instance fields of every size in a root class, each aligned to its size.
.class public Layout
.super java/lang/Object
.field public b B
.field public i I
.field public c B
.field public l J

.method public static run()I
    .limit stack 1
    iconst_1
    ireturn
.end method
