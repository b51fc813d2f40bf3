// Kov's version, in the one place that the options file, the About box, the
// binaries' version records and the release's file names all take it from.
#ifndef KOV_VERSION_H
#define KOV_VERSION_H

#define KOV_VERSION_MAJOR     1
#define KOV_VERSION_MINOR     2
#define KOV_VERSION_TEXT      "1.2"

#endif
