// The shared replay driver; the fuzz helper names it relative to this folder.
#include "../ReplayMain.cpp"
