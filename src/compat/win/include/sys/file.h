#pragma once
#include <fcntl.h>

#define LOCK_SH 1
#define LOCK_EX 2
#define LOCK_NB 4
#define LOCK_UN 8

// A lock on one byte far past any data (LockFileEx locks are mandatory, and must not stop reads).
int flock(int fd, int operation);
