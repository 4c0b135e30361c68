/* The platform part of the JNI headers for 64-bit Windows, for cross builds whose JDK is
   another platform's: how exports are marked, the calling convention, and the sizes of
   jint, jlong and jbyte there. */
#ifndef TOCMATE_WINDOWS_JNI_MD_H
#define TOCMATE_WINDOWS_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
