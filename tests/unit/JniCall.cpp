#include "JniCall.h"

#include <jni.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

thread_local char lastText[4096];
thread_local bool threadInterrupted = false;

jstring JNICALL keepText(JNIEnv*, const char* utf) {
  std::snprintf(lastText, sizeof lastText, "%s", utf);
  return reinterpret_cast<jstring>(lastText);
}

// Thread.currentThread().isInterrupted(), answered from threadInterrupted: any non-null
// handle serves as the class, the methods and the thread.
jclass JNICALL findAnyClass(JNIEnv*, const char*) { return reinterpret_cast<jclass>(lastText); }
jmethodID JNICALL getAnyMethod(JNIEnv*, jclass, const char*, const char*) {
  return reinterpret_cast<jmethodID>(lastText);
}
jobject JNICALL currentThread(JNIEnv*, jclass, jmethodID, va_list) {
  return reinterpret_cast<jobject>(lastText);
}
jboolean JNICALL isInterrupted(JNIEnv*, jobject, jmethodID, va_list) {
  return threadInterrupted ? JNI_TRUE : JNI_FALSE;
}
jboolean JNICALL noException(JNIEnv*) { return JNI_FALSE; }
void JNICALL deleteNothing(JNIEnv*, jobject) {}

// The Java objects, classes, fields and methods of one Disc call: each a slot of the thread.
struct FakeObject {
  char text[1024];    // a string's characters, a class's or field's name
  jchar units[1024];  // a string's characters as GetStringChars gives them
  jint ints[256];     // an int array's values
  jsize size;
  FakeObject* fields[3];  // a constructed object's arguments
};

struct DiscCallState {
  FakeObject objects[32];
  int used;
  long callsBeforeFailure;
  FakeObject* pending;  // the pending exception
  int unreleasedStrings;
  bool misused;
};

thread_local DiscCallState state;

FakeObject* newObject(const char* text) {
  if (state.used == static_cast<int>(sizeof state.objects / sizeof state.objects[0])) {
    std::fputs("the fake JNI environment has no objects left\n", stderr);
    std::abort();
  }
  FakeObject* object = &state.objects[state.used++];
  std::snprintf(object->text, sizeof object->text, "%s", text);
  return object;
}

void raise(FakeObject* exception) {
  if (state.pending != nullptr) state.misused = true;
  state.pending = exception;
}

// Called first by every function that may not run with an exception pending; for those
// that can fail, counts the call and says whether this one fails.
bool failsNow(bool canFail) {
  if (state.pending != nullptr) state.misused = true;
  if (!canFail || state.callsBeforeFailure < 0) return false;
  if (state.callsBeforeFailure-- > 0) return false;
  FakeObject* error = newObject("java/lang/OutOfMemoryError");
  error->fields[2] = newObject("out of memory (injected)");
  raise(error);
  return true;
}

FakeObject* fake(void* handle) { return static_cast<FakeObject*>(handle); }

jsize JNICALL getStringLength(JNIEnv*, jstring text) {
  failsNow(false);
  return static_cast<jsize>(std::strlen(fake(text)->text));
}

// The string's bytes, each a UTF-16 unit: the tests' names are ASCII.
const jchar* JNICALL getStringChars(JNIEnv*, jstring text, jboolean* isCopy) {
  if (failsNow(true)) return nullptr;
  if (isCopy != nullptr) *isCopy = JNI_TRUE;
  ++state.unreleasedStrings;
  FakeObject* string = fake(text);
  for (std::size_t i = 0; i <= std::strlen(string->text); ++i) {
    string->units[i] = static_cast<unsigned char>(string->text[i]);
  }
  return string->units;
}

void JNICALL releaseStringChars(JNIEnv*, jstring, const jchar*) { --state.unreleasedStrings; }

jstring JNICALL newStringUTF(JNIEnv*, const char* utf) {
  if (failsNow(true)) return nullptr;
  return reinterpret_cast<jstring>(newObject(utf));
}

jclass JNICALL findClass(JNIEnv*, const char* name) {
  if (failsNow(true)) return nullptr;
  return reinterpret_cast<jclass>(newObject(name));
}

jfieldID JNICALL getStaticFieldID(JNIEnv*, jclass, const char* name, const char*) {
  if (failsNow(true)) return nullptr;
  return reinterpret_cast<jfieldID>(newObject(name));
}

jobject JNICALL getStaticObjectField(JNIEnv*, jclass, jfieldID field) {
  failsNow(false);
  return reinterpret_cast<jobject>(field);  // the constant: named as its field
}

jmethodID JNICALL getMethodID(JNIEnv*, jclass, const char* name, const char*) {
  if (failsNow(true)) return nullptr;
  return reinterpret_cast<jmethodID>(newObject(name));
}

jobject JNICALL newObjectV(JNIEnv*, jclass type, jmethodID, va_list arguments) {
  if (failsNow(true)) return nullptr;
  FakeObject* object = newObject(fake(type)->text);
  for (FakeObject*& field : object->fields) field = fake(va_arg(arguments, jobject));
  return reinterpret_cast<jobject>(object);
}

jint JNICALL throwObject(JNIEnv*, jthrowable exception) {
  failsNow(false);
  raise(fake(exception));
  return 0;
}

jint JNICALL throwNew(JNIEnv*, jclass type, const char* message) {
  if (failsNow(true)) return -1;
  FakeObject* exception = newObject(fake(type)->text);
  exception->fields[2] = newObject(message);
  raise(exception);
  return 0;
}

jintArray JNICALL newIntArray(JNIEnv*, jsize size) {
  if (failsNow(true)) return nullptr;
  FakeObject* array = newObject("[I");
  if (size > static_cast<jsize>(sizeof array->ints / sizeof array->ints[0])) std::abort();
  array->size = size;
  return reinterpret_cast<jintArray>(array);
}

void JNICALL setIntArrayRegion(JNIEnv*, jintArray array, jsize start, jsize length,
                               const jint* values) {
  failsNow(false);
  std::memcpy(fake(array)->ints + start, values, sizeof(jint) * static_cast<std::size_t>(length));
}

const char* textOf(const FakeObject* object) { return object != nullptr ? object->text : ""; }

}  // namespace

JNIEnv* textKeepingEnvironment() {
  static const JNINativeInterface_ functions = [] {
    JNINativeInterface_ table{};
    table.NewStringUTF = keepText;
    table.FindClass = findAnyClass;
    table.GetStaticMethodID = getAnyMethod;
    table.GetMethodID = getAnyMethod;
    table.CallStaticObjectMethodV = currentThread;
    table.CallBooleanMethodV = isInterrupted;
    table.ExceptionCheck = noException;
    table.DeleteLocalRef = deleteNothing;
    return table;
  }();
  thread_local JNIEnv env{&functions};
  lastText[0] = '\0';
  return &env;
}

void setJavaThreadInterrupted(bool interrupted) { threadInterrupted = interrupted; }

const char* keptText(jstring result) {
  return result == reinterpret_cast<jstring>(lastText) ? lastText : "(no string made)";
}

const char* callNative(NativeMethod method) {
  return keptText(method(textKeepingEnvironment(), nullptr));
}

DiscTableCall callDiscTable(DiscTableMethod method, const char* drive, long failingJniCall) {
  std::memset(&state, 0, sizeof state);
  state.callsBeforeFailure = -1;
  const jstring driveString = reinterpret_cast<jstring>(newObject(drive));
  state.callsBeforeFailure = failingJniCall;

  JNINativeInterface_ functions{};
  functions.GetStringLength = getStringLength;
  functions.GetStringChars = getStringChars;
  functions.ReleaseStringChars = releaseStringChars;
  functions.NewStringUTF = newStringUTF;
  functions.FindClass = findClass;
  functions.GetStaticFieldID = getStaticFieldID;
  functions.GetStaticObjectField = getStaticObjectField;
  functions.GetMethodID = getMethodID;
  functions.NewObjectV = newObjectV;
  functions.Throw = throwObject;
  functions.ThrowNew = throwNew;
  functions.NewIntArray = newIntArray;
  functions.SetIntArrayRegion = setIntArrayRegion;
  JNIEnv env{};
  env.functions = &functions;
  const FakeObject* table = fake(method(&env, nullptr, driveString));

  const FakeObject* thrown = state.pending;
  const bool hasFields = thrown != nullptr && thrown->fields[1] != nullptr;
  return {table != nullptr ? table->ints : nullptr,
          table != nullptr ? table->size : 0,
          textOf(thrown),
          hasFields ? textOf(thrown->fields[0]) : "",
          hasFields ? textOf(thrown->fields[1]) : "",
          thrown != nullptr ? textOf(thrown->fields[2]) : "",
          state.misused || state.unreleasedStrings != 0 || (table != nullptr && thrown != nullptr)};
}
