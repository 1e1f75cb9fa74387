.interface public abstract LoopJ
.super java/lang/Object
.implements LoopI
