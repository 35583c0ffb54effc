// The precompiled headers' host compiles nothing of its own.
