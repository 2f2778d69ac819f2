// The source of the shared precompiled headers (see cmake/velko.cmake).
