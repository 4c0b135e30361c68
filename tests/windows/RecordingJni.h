#pragma once

#include <jni.h>

#include <string>
#include <vector>

// A JNI environment that keeps what a native method builds (strings, arrays, Integers, a
// thrown exception) as plain values, for a test to read back. Nothing is ever freed: it
// serves one call of a short-lived program.
struct JavaValue {
  std::string text;  // a string's characters, a class's name, an exception's class
  std::vector<jint> ints;
  std::vector<jlong> longs;
  std::vector<jchar> units;  // a string's characters as GetStringChars gives them
  std::string bytes;
  std::vector<const JavaValue*> elements;  // an object array's; an exception's arguments
  jint integer = 0;                        // an Integer's value
};

class RecordingJni {
 public:
  RecordingJni();
  JNIEnv* env() { return &environment; }

  // A Java string to pass to the method.
  jstring string(const std::string& text);
  // What a returned reference or a pending exception is; null for null.
  static const JavaValue* valueOf(jobject object) {
    return reinterpret_cast<const JavaValue*>(object);
  }
  const JavaValue* pendingException() const;
  // Whether the method called a JNI function after a call into Java without checking for
  // its exception first.
  bool misused() const;

 private:
  JNINativeInterface_ functions{};
  JNIEnv environment{};
};
