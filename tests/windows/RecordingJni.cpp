#include "RecordingJni.h"

#include <cstdarg>
#include <deque>

namespace {

// Every value made, at a fixed address; and the exception the method left pending.
std::deque<JavaValue> values;
const JavaValue* pending = nullptr;
// A call into Java whose exception the method has not checked yet, and the first function
// it called before it did, as -Xcheck:jni would warn of.
bool uncheckedCall = false;
bool jniMisused = false;

void called() { jniMisused = jniMisused || uncheckedCall; }

JavaValue* make(const std::string& text = "") {
  values.emplace_back();
  values.back().text = text;
  return &values.back();
}

template <typename Reference>
Reference reference(JavaValue* value) {
  return reinterpret_cast<Reference>(value);
}

JavaValue* value(void* reference) { return static_cast<JavaValue*>(reference); }

const char* JNICALL getStringUTFChars(JNIEnv*, jstring text, jboolean* isCopy) {
  called();
  if (isCopy != nullptr) *isCopy = JNI_FALSE;
  return value(text)->text.c_str();
}
void JNICALL releaseStringUTFChars(JNIEnv*, jstring, const char*) {}
jsize JNICALL getStringLength(JNIEnv*, jstring text) {
  called();
  return static_cast<jsize>(value(text)->text.size());
}
// The string's bytes, each a UTF-16 unit: the tests' names are ASCII.
const jchar* JNICALL getStringChars(JNIEnv*, jstring text, jboolean* isCopy) {
  called();
  if (isCopy != nullptr) *isCopy = JNI_TRUE;
  const std::string& bytes = value(text)->text;
  JavaValue* units = make();
  units->units.assign(bytes.begin(), bytes.end());
  return units->units.data();
}
void JNICALL releaseStringChars(JNIEnv*, jstring, const jchar*) {}
jstring JNICALL newStringUTF(JNIEnv*, const char* utf) {
  called();
  return reference<jstring>(make(utf));
}
jclass JNICALL findClass(JNIEnv*, const char* name) {
  called();
  return reference<jclass>(make(name));
}
void JNICALL deleteLocalRef(JNIEnv*, jobject) {}
jboolean JNICALL exceptionCheck(JNIEnv*) {
  uncheckedCall = false;
  return pending != nullptr ? JNI_TRUE : JNI_FALSE;
}

jmethodID JNICALL methodId(JNIEnv*, jclass, const char* name, const char*) {
  called();
  return reference<jmethodID>(make(name));
}
jfieldID JNICALL fieldId(JNIEnv*, jclass, const char* name, const char*) {
  called();
  return reference<jfieldID>(make(name));
}
jobject JNICALL getStaticObjectField(JNIEnv*, jclass, jfieldID field) {
  called();
  return reference<jobject>(value(field));  // the constant: named as its field
}

// The static methods called: Thread.currentThread() and Integer.valueOf(int).
jobject JNICALL callStaticObjectMethodV(JNIEnv*, jclass, jmethodID method, va_list arguments) {
  called();
  uncheckedCall = true;
  if (value(method)->text == "currentThread") return reference<jobject>(make("java/lang/Thread"));
  JavaValue* integer = make("java/lang/Integer");
  integer->integer = va_arg(arguments, jint);
  return reference<jobject>(integer);
}

// The one instance method called: Thread.isInterrupted(), never so here.
jboolean JNICALL callBooleanMethodV(JNIEnv*, jobject, jmethodID, va_list) {
  called();
  uncheckedCall = true;
  return JNI_FALSE;
}

// The one constructor called: DiscReadException(Reason, String, String).
jobject JNICALL newObjectV(JNIEnv*, jclass type, jmethodID, va_list arguments) {
  called();
  JavaValue* object = make(value(type)->text);
  for (int i = 0; i < 3; ++i) object->elements.push_back(value(va_arg(arguments, jobject)));
  return reference<jobject>(object);
}

jint JNICALL throwObject(JNIEnv*, jthrowable exception) {
  called();
  pending = value(exception);
  return 0;
}
jint JNICALL throwNew(JNIEnv*, jclass type, const char* message) {
  called();
  JavaValue* exception = make(value(type)->text);
  exception->elements = {nullptr, nullptr, make(message)};
  pending = exception;
  return 0;
}

jobjectArray JNICALL newObjectArray(JNIEnv*, jsize size, jclass, jobject initial) {
  called();
  JavaValue* array = make("[");
  array->elements.assign(static_cast<std::size_t>(size), value(initial));
  return reference<jobjectArray>(array);
}
void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray array, jsize index, jobject element) {
  called();
  value(array)->elements.at(static_cast<std::size_t>(index)) = value(element);
}
jintArray JNICALL newIntArray(JNIEnv*, jsize size) {
  called();
  JavaValue* array = make("[I");
  array->ints.resize(static_cast<std::size_t>(size));
  return reference<jintArray>(array);
}
void JNICALL setIntArrayRegion(JNIEnv*, jintArray array, jsize start, jsize length,
                               const jint* from) {
  called();
  for (jsize i = 0; i < length; ++i) value(array)->ints.at(start + i) = from[i];
}
jbyteArray JNICALL newByteArray(JNIEnv*, jsize size) {
  called();
  JavaValue* array = make("[B");
  array->bytes.resize(static_cast<std::size_t>(size));
  return reference<jbyteArray>(array);
}
void JNICALL setByteArrayRegion(JNIEnv*, jbyteArray array, jsize start, jsize length,
                                const jbyte* from) {
  called();
  for (jsize i = 0; i < length; ++i) value(array)->bytes.at(start + i) = static_cast<char>(from[i]);
}

void JNICALL getByteArrayRegion(JNIEnv*, jbyteArray array, jsize start, jsize length, jbyte* to) {
  called();
  for (jsize i = 0; i < length; ++i) to[i] = static_cast<jbyte>(value(array)->bytes.at(start + i));
}
jobject JNICALL getObjectArrayElement(JNIEnv*, jobjectArray array, jsize index) {
  called();
  return reference<jobject>(const_cast<JavaValue*>(value(array)->elements.at(index)));
}
jlongArray JNICALL newLongArray(JNIEnv*, jsize size) {
  called();
  JavaValue* array = make("[J");
  array->longs.resize(static_cast<std::size_t>(size));
  return reference<jlongArray>(array);
}
void JNICALL setLongArrayRegion(JNIEnv*, jlongArray array, jsize start, jsize length,
                                const jlong* from) {
  called();
  for (jsize i = 0; i < length; ++i) value(array)->longs.at(start + i) = from[i];
}

jsize JNICALL getArrayLength(JNIEnv*, jarray array) {
  // The arrays asked: byte arrays, and object arrays of them.
  const JavaValue* asked = value(array);
  return static_cast<jsize>(asked->text == "[B" ? asked->bytes.size() : asked->elements.size());
}

}  // namespace

RecordingJni::RecordingJni() {
  functions.GetStringUTFChars = getStringUTFChars;
  functions.ReleaseStringUTFChars = releaseStringUTFChars;
  functions.GetStringLength = getStringLength;
  functions.GetStringChars = getStringChars;
  functions.ReleaseStringChars = releaseStringChars;
  functions.NewStringUTF = newStringUTF;
  functions.FindClass = findClass;
  functions.DeleteLocalRef = deleteLocalRef;
  functions.ExceptionCheck = exceptionCheck;
  functions.GetMethodID = methodId;
  functions.GetStaticMethodID = methodId;
  functions.GetStaticFieldID = fieldId;
  functions.GetStaticObjectField = getStaticObjectField;
  functions.CallStaticObjectMethodV = callStaticObjectMethodV;
  functions.CallBooleanMethodV = callBooleanMethodV;
  functions.NewObjectV = newObjectV;
  functions.Throw = throwObject;
  functions.ThrowNew = throwNew;
  functions.NewObjectArray = newObjectArray;
  functions.SetObjectArrayElement = setObjectArrayElement;
  functions.NewIntArray = newIntArray;
  functions.SetIntArrayRegion = setIntArrayRegion;
  functions.NewByteArray = newByteArray;
  functions.SetByteArrayRegion = setByteArrayRegion;
  functions.GetByteArrayRegion = getByteArrayRegion;
  functions.GetObjectArrayElement = getObjectArrayElement;
  functions.NewLongArray = newLongArray;
  functions.SetLongArrayRegion = setLongArrayRegion;
  functions.GetArrayLength = getArrayLength;
  environment.functions = &functions;
}

jstring RecordingJni::string(const std::string& text) { return reference<jstring>(make(text)); }

const JavaValue* RecordingJni::pendingException() const { return pending; }

bool RecordingJni::misused() const { return jniMisused; }
