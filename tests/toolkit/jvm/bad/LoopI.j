; Two interfaces that extend each other.
.interface public abstract LoopI
.super java/lang/Object
.implements LoopJ
