// Loads Tocmate.dll as a JVM would, finds the native methods by name and calls them with a
// minimal JNI environment.
//   dll_check                 prints Tocmate's two texts, one a line
//   dll_check --both          the same through the command line's method, which gives
//                             both from one reading
//   dll_check --disc [DRIVE]  prints what Disc's native method gives for the drive (none:
//                             the first CD drive): the table as a table-of-contents file
//                             holds it, then "data tracks:" and their numbers; or the
//                             exception it throws as "REASON|drive|message"
//   dll_check --extras DRIVE EXTRAS
//                             the same through the method that also reads the extras
//                             (their bits as a number), then the extras as the lines of a
//                             table-of-contents file give them
//   dll_check --drives        CdDrive's list, a line "name|vendor|model|revision" a drive
//   dll_check --watch DRIVE POLLS [eject@N|close@N...]
//                             a watch of the drive, polled once a second, POLLS times, its
//                             reports a line each: "inserted" and the table as a
//                             table-of-contents file holds it, "removed" and the drive,
//                             "unreadable" and the reason; after the N-th poll, the tray
//                             moved as asked ("eject REASON" where it fails)
//   dll_check --audio DRIVE TRACK END AUDIO-LEAD-OUT OFFSET SECURE FILE CACHE-KB
//                             reads the track through DiscAudio's native methods as Java
//                             does (its end and the audio session's lead-out in frames, the
//                             offset in samples, SECURE 0 or 1, CACHE-KB the cache set or 0
//                             for the drive's word), writes its samples to FILE
//                             and prints its line as --rip prints it; or the exception
//                             as "REASON|drive|message"
//   dll_check --layout DRIVE AUDIO-LEAD-OUT
//                             the disc's layout through DiscAudio's native method, its
//                             numbers on one line; or the exception as above
//   dll_check --flac PCM FILE TAG...
//                             encodes the samples of PCM (16-bit stereo) through
//                             FlacOutput's native methods as Java does, writes the FLAC
//                             file's pieces into FILE at their offsets, its tags the TAGs
//                             ("NAME=value"); or prints the exception as "class|message"
// Exits with 0 when a disc was read, 1 when not, 2 when the DLL or a method is missing.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "../unit/JniCall.h"
#include "RecordingJni.h"

namespace {

template <typename Method>
Method find(HMODULE library, const char* name) {
  // Through a function type without parameters, the cast's usual go-between.
  auto method =
      reinterpret_cast<Method>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
  if (method == nullptr) std::fprintf(stderr, "Tocmate.dll does not export %s\n", name);
  return method;
}

int printTexts(HMODULE library) {
  const auto getCDDBNumbers = find<NativeMethod>(library, "Java_cd_Tocmate_getCDDBNumbers");
  const auto getTrackLengths = find<NativeMethod>(library, "Java_cd_Tocmate_getTrackLengths");
  if (getCDDBNumbers == nullptr || getTrackLengths == nullptr) return 2;
  const std::string numbers = callNative(getCDDBNumbers);
  const std::string lengths = callNative(getTrackLengths);
  std::printf("%s\n%s\n", numbers.c_str(), lengths.c_str());
  return numbers == " " && lengths == " " ? 1 : 0;
}

int printBothTexts(HMODULE library) {
  const auto readBothTexts = find<NativeMethod>(library, "Java_cd_Tocmate_getBothTexts");
  if (readBothTexts == nullptr) return 2;
  const std::string texts = callNative(readBothTexts);
  std::printf("%s\n", texts == " " ? " \n " : texts.c_str());
  return texts == " " ? 1 : 0;
}

// First, last, lead-out, the starts, then a control nibble for each track.
int printTable(const jint* table, int tableSize) {
  const int trackCount = table[1] - table[0] + 1;
  if (tableSize != 3 + 2 * trackCount) {
    std::fprintf(stderr, "a table of %d numbers for %d tracks\n", tableSize, trackCount);
    return 2;
  }
  for (int i = 0; i < 3 + trackCount; ++i) {
    std::printf(i == 0 ? "%d" : " %d", static_cast<int>(table[i]));
  }
  std::printf("\ndata tracks:");
  for (int i = 0; i < trackCount; ++i) {
    if ((table[3 + trackCount + i] & 0x4) != 0) std::printf(" %d", static_cast<int>(table[0]) + i);
  }
  std::printf("\n");
  return 0;
}

int printDiscTable(HMODULE library, const char* drive) {
  const auto readTable = find<DiscTableMethod>(library, "Java_cd_Disc_readTableOfContents");
  if (readTable == nullptr) return 2;
  const DiscTableCall call = callDiscTable(readTable, drive);
  if (call.jniMisused) std::fprintf(stderr, "the method misused the JNI environment\n");
  if (call.table == nullptr) {
    std::printf("%s|%s|%s\n", *call.reason != '\0' ? call.reason : call.exception, call.drive,
                call.message);
    return 1;
  }
  return printTable(call.table, call.tableSize);
}

// A CD-Text text as a table-of-contents file writes it: bytes other than printable ASCII,
// and the backslash, as \xNN.
std::string fileText(const std::string& bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
    text += byte >= 0x20 && byte < 0x7f && byte != '\\' ? std::string(1, c) : escaped;
  }
  return text;
}

const char* fieldName(jint packType, jint track) {
  static const char* const kNames[] = {"title",    "performer", "songwriter", "composer",
                                       "arranger", "message",   "catalog",    "genre"};
  if (packType >= 0x80 && packType <= 0x87) return kNames[packType - 0x80];
  if (packType == 0x8e) return track == 0 ? "upc" : "isrc";
  return "unknown";
}

// A block {language, character code, pack type and track pairs, texts}, numbered by its
// place among the disc's blocks.
void printCdTextBlock(std::size_t number, const JavaValue& block) {
  const jint code = block.elements[1]->integer;
  std::printf("cdtext-block %zu %02lx %s\n", number, static_cast<long>(block.elements[0]->integer),
              code == 0x80   ? "msjis"
              : code == 0x01 ? "ascii"
                             : "latin1");
  const std::vector<jint>& keys = block.elements[2]->ints;
  const std::vector<const JavaValue*>& texts = block.elements[3]->elements;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const jint packType = keys[2 * i], track = keys[2 * i + 1];
    std::string bytes = texts[i]->bytes;
    std::string genre;
    if (packType == 0x87 && bytes.size() >= 2) {
      genre = std::to_string((static_cast<unsigned char>(bytes[0]) << 8) |
                             static_cast<unsigned char>(bytes[1])) +
              " ";
      bytes.erase(0, 2);
    }
    std::printf("cdtext %zu %ld %s %s%s\n", number, static_cast<long>(track),
                fieldName(packType, track), genre.c_str(), fileText(bytes).c_str());
  }
}

using ExtrasMethod = jobjectArray(JNICALL*)(JNIEnv*, jclass, jstring, jint);

int printDiscWithExtras(HMODULE library, const char* drive, int extras) {
  const auto readWithExtras = find<ExtrasMethod>(library, "Java_cd_Disc_readWithExtras");
  if (readWithExtras == nullptr) return 2;
  RecordingJni jni;
  const JavaValue* reading =
      RecordingJni::valueOf(readWithExtras(jni.env(), nullptr, jni.string(drive), extras));
  if (jni.misused()) {
    std::fprintf(stderr, "a JNI call followed a call into Java without an exception check\n");
    return 2;
  }
  if (const JavaValue* exception = jni.pendingException()) {
    const auto text = [&](int i) {
      const JavaValue* part = exception->elements[i];
      return part != nullptr ? part->text.c_str() : "";
    };
    std::printf("%s|%s|%s\n", exception->elements[1] != nullptr ? text(0) : exception->text.c_str(),
                text(1), text(2));
    return 1;
  }
  if (reading == nullptr) {
    std::fprintf(stderr, "the method returned nothing and threw nothing\n");
    return 2;
  }
  const std::vector<jint>& table = reading->elements[0]->ints;
  if (const int status = printTable(table.data(), static_cast<int>(table.size()))) return status;
  if (const JavaValue* number = reading->elements[1])
    std::printf("catalog %s\n", number->text.c_str());
  const std::vector<const JavaValue*>& isrcs = reading->elements[2]->elements;
  for (std::size_t i = 0; i < isrcs.size(); ++i) {
    if (isrcs[i] != nullptr) {
      std::printf("isrc %ld %s\n", static_cast<long>(table[0]) + static_cast<long>(i),
                  isrcs[i]->text.c_str());
    }
  }
  if (const JavaValue* blocks = reading->elements[3]) {
    for (std::size_t i = 0; i < blocks->elements.size(); ++i)
      printCdTextBlock(i, *blocks->elements[i]);
  }
  return 0;
}

using DriveListMethod = jobjectArray(JNICALL*)(JNIEnv*, jclass);

int printDrives(HMODULE library) {
  const auto listDrives = find<DriveListMethod>(library, "Java_cd_CdDrive_listDrives");
  if (listDrives == nullptr) return 2;
  RecordingJni jni;
  const JavaValue* names = RecordingJni::valueOf(listDrives(jni.env(), nullptr));
  if (names == nullptr) return 2;
  // Four names a drive.
  for (std::size_t i = 0; i + 3 < names->elements.size(); i += 4) {
    std::printf("%s|%s|%s|%s\n", names->elements[i]->text.c_str(),
                names->elements[i + 1]->text.c_str(), names->elements[i + 2]->text.c_str(),
                names->elements[i + 3]->text.c_str());
  }
  return 0;
}

using WatchOpenMethod = jlong(JNICALL*)(JNIEnv*, jclass, jstring);
using WatchPollMethod = jobjectArray(JNICALL*)(JNIEnv*, jclass, jlong);
using WatchReleaseMethod = void(JNICALL*)(JNIEnv*, jclass, jlong);
using TrayMethod = void(JNICALL*)(JNIEnv*, jclass, jstring, jboolean);

int watchDrive(HMODULE library, const char* drive, int polls, char** steps, int stepCount) {
  const auto open = find<WatchOpenMethod>(library, "Java_cd_DriveWatch_open");
  const auto poll = find<WatchPollMethod>(library, "Java_cd_DriveWatch_poll");
  const auto release = find<WatchReleaseMethod>(library, "Java_cd_DriveWatch_release");
  const auto moveTray = find<TrayMethod>(library, "Java_cd_CdDrive_moveTray");
  if (open == nullptr || poll == nullptr || release == nullptr || moveTray == nullptr) return 2;
  RecordingJni jni;
  const jlong watch = open(jni.env(), nullptr, jni.string(drive));
  if (const JavaValue* exception = jni.pendingException()) {
    std::printf("open %s\n", exception->elements[2]->text.c_str());
    return 1;
  }
  for (int number = 1; number <= polls; ++number) {
    const JavaValue* report = RecordingJni::valueOf(poll(jni.env(), nullptr, watch));
    if (report != nullptr && report->elements[0] != nullptr) {
      std::printf("removed %s\n", report->elements[0]->text.c_str());
    }
    if (report != nullptr && report->elements[1] != nullptr) {
      const std::vector<jint>& table = report->elements[1]->ints;
      std::printf("inserted");
      for (std::size_t i = 0; i < 3 + static_cast<std::size_t>(table[1] - table[0] + 1); ++i) {
        std::printf(" %d", static_cast<int>(table[i]));
      }
      std::printf("\n");
    }
    if (report != nullptr && report->elements[2] != nullptr) {
      std::printf("unreadable %s\n", report->elements[2]->elements[0]->text.c_str());
    }
    for (int i = 0; i < stepCount; ++i) {
      const std::string step = steps[i];
      const bool eject = step.rfind("eject@", 0) == 0;
      if (std::atoi(step.c_str() + step.find('@') + 1) != number) continue;
      moveTray(jni.env(), nullptr, jni.string(drive), eject ? JNI_TRUE : JNI_FALSE);
      if (const JavaValue* exception = jni.pendingException()) {
        std::printf("%s %s\n", eject ? "eject" : "close", exception->elements[0]->text.c_str());
        return 1;
      }
    }
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  release(jni.env(), nullptr, watch);
  return 0;
}

using OpenDriveMethod = jlong(JNICALL*)(JNIEnv*, jclass, jstring);
using StartReadingMethod = jlong(JNICALL*)(JNIEnv*, jclass, jlong, jint, jint, jint, jint, jboolean,
                                           jint);
using ReadSamplesMethod = jint(JNICALL*)(JNIEnv*, jclass, jlong, jbyteArray);
using SessionMethod = jintArray(JNICALL*)(JNIEnv*, jclass, jlong);
using CloseDriveMethod = void(JNICALL*)(JNIEnv*, jclass, jlong);
using CacheMethod = jint(JNICALL*)(JNIEnv*, jclass, jlong);

int readAudio(HMODULE library, char** args) {
  const auto openDrive = find<OpenDriveMethod>(library, "Java_cd_DiscAudio_openDrive");
  const auto startReading = find<StartReadingMethod>(library, "Java_cd_DiscAudio_startReading");
  const auto readSamples = find<ReadSamplesMethod>(library, "Java_cd_DiscAudio_readSamples");
  const auto trackResult = find<SessionMethod>(library, "Java_cd_DiscAudio_trackResult");
  const auto closeDrive = find<CloseDriveMethod>(library, "Java_cd_DiscAudio_closeDrive");
  const auto cacheKilobytes = find<CacheMethod>(library, "Java_cd_DiscAudio_cacheKilobytes");
  if (!openDrive || !startReading || !readSamples || !trackResult || !closeDrive ||
      !cacheKilobytes) {
    return 2;
  }
  RecordingJni jni;
  const auto failed = [&] {
    const JavaValue* exception = jni.pendingException();
    if (exception == nullptr) return false;
    const auto text = [&](int i) {
      const JavaValue* part = exception->elements[i];
      return part != nullptr ? part->text.c_str() : "";
    };
    std::printf("%s|%s|%s\n", exception->elements[0] != nullptr ? text(0) : exception->text.c_str(),
                text(1), text(2));
    return true;
  };
  const jlong session = openDrive(jni.env(), nullptr, jni.string(args[0]));
  if (failed()) return 1;
  const int track = std::atoi(args[1]);
  startReading(jni.env(), nullptr, session, track, std::atoi(args[2]), std::atoi(args[3]),
               std::atoi(args[4]), std::atoi(args[5]) != 0 ? JNI_TRUE : JNI_FALSE,
               std::atoi(args[7]));
  std::FILE* samples = std::fopen(args[6], "wb");
  const jbyteArray buffer = jni.env()->NewByteArray(26 * 2352);
  for (jint read; jni.pendingException() == nullptr &&
                  (read = readSamples(jni.env(), nullptr, session, buffer)) > 0;) {
    std::fwrite(RecordingJni::valueOf(buffer)->bytes.data(), 1, static_cast<std::size_t>(read),
                samples);
  }
  std::fclose(samples);
  if (failed()) return 1;
  const std::vector<jint>& result =
      RecordingJni::valueOf(trackResult(jni.env(), nullptr, session))->ints;
  const jint cache = cacheKilobytes(jni.env(), nullptr, session);
  closeDrive(jni.env(), nullptr, session);
  std::printf("%02d v1 %08lX v2 %08lX crc32 %08lX reread %ld\n", track,
              static_cast<unsigned long>(static_cast<std::uint32_t>(result[0])),
              static_cast<unsigned long>(static_cast<std::uint32_t>(result[1])),
              static_cast<unsigned long>(static_cast<std::uint32_t>(result[2])),
              static_cast<long>(result[3]));
  // The drive's cache as taken for secure reads, then whether it gave C2 pointers and the
  // sectors they flagged (after the unreadable and the unconfirmed ones).
  std::printf("cache %ld c2 %ld flagged", static_cast<long>(cache), static_cast<long>(result[4]));
  std::size_t at = 6;  // after whether the cache could be pushed out
  at += 1 + static_cast<std::size_t>(result[at]);
  at += 1 + static_cast<std::size_t>(result[at]);
  for (std::size_t i = 0; i < static_cast<std::size_t>(result[at]); ++i) {
    std::printf(" %ld", static_cast<long>(result[at + 1 + i]));
  }
  std::printf("\n");
  return 0;
}

using LayoutMethod = jintArray(JNICALL*)(JNIEnv*, jclass, jlong, jint);

int printLayout(HMODULE library, char** args) {
  const auto openDrive = find<OpenDriveMethod>(library, "Java_cd_DiscAudio_openDrive");
  const auto readLayout = find<LayoutMethod>(library, "Java_cd_DiscAudio_readLayout");
  const auto closeDrive = find<CloseDriveMethod>(library, "Java_cd_DiscAudio_closeDrive");
  if (!openDrive || !readLayout || !closeDrive) return 2;
  RecordingJni jni;
  const jlong session = openDrive(jni.env(), nullptr, jni.string(args[0]));
  const jintArray layout = jni.pendingException() != nullptr
                               ? nullptr
                               : readLayout(jni.env(), nullptr, session, std::atoi(args[1]));
  if (const JavaValue* exception = jni.pendingException()) {
    std::printf("%s\n", exception->text.c_str());
    return 1;
  }
  for (const jint value : RecordingJni::valueOf(layout)->ints)
    std::printf("%ld ", static_cast<long>(value));
  std::printf("\n");
  closeDrive(jni.env(), nullptr, session);
  return 0;
}

using FlacOpenMethod = jlong(JNICALL*)(JNIEnv*, jclass, jlong, jint);
using FlacEncodeMethod = void(JNICALL*)(JNIEnv*, jclass, jlong, jbyteArray, jint);
using FlacFinishMethod = void(JNICALL*)(JNIEnv*, jclass, jlong, jobjectArray);
using FlacPieceMethod = jbyteArray(JNICALL*)(JNIEnv*, jclass, jlong, jlongArray);
using FlacCloseMethod = void(JNICALL*)(JNIEnv*, jclass, jlong);

int encodeFlac(HMODULE library, const char* pcmPath, const char* flacPath, char** tags,
               int tagCount) {
  const auto open = find<FlacOpenMethod>(library, "Java_cd_FlacOutput_open");
  const auto encode = find<FlacEncodeMethod>(library, "Java_cd_FlacOutput_encode");
  const auto finish = find<FlacFinishMethod>(library, "Java_cd_FlacOutput_finish");
  const auto nextPiece = find<FlacPieceMethod>(library, "Java_cd_FlacOutput_nextPiece");
  const auto close = find<FlacCloseMethod>(library, "Java_cd_FlacOutput_close");
  if (!open || !encode || !finish || !nextPiece || !close) return 2;
  std::FILE* pcm = std::fopen(pcmPath, "rb");
  std::FILE* flac = std::fopen(flacPath, "wb");
  if (pcm == nullptr || flac == nullptr) return 2;
  std::fseek(pcm, 0, SEEK_END);
  const long bytes = std::ftell(pcm);
  std::fseek(pcm, 0, SEEK_SET);
  RecordingJni jni;
  JNIEnv* env = jni.env();
  const jlongArray offset = env->NewLongArray(1);
  const jlong encoder = open(env, nullptr, bytes / 4, 5);
  const auto writePieces = [&] {
    for (jbyteArray piece; jni.pendingException() == nullptr &&
                           (piece = nextPiece(env, nullptr, encoder, offset)) != nullptr;) {
      const std::string& written = RecordingJni::valueOf(piece)->bytes;
      std::fseek(flac, static_cast<long>(RecordingJni::valueOf(offset)->longs[0]), SEEK_SET);
      std::fwrite(written.data(), 1, written.size(), flac);
    }
  };
  const jbyteArray block = env->NewByteArray(26 * 2352);
  std::string& samples = const_cast<JavaValue*>(RecordingJni::valueOf(block))->bytes;
  for (std::size_t read; jni.pendingException() == nullptr &&
                         (read = std::fread(&samples[0], 1, samples.size(), pcm)) > 0;) {
    encode(env, nullptr, encoder, block, static_cast<jint>(read));
    writePieces();
  }
  const jobjectArray tagArray = env->NewObjectArray(tagCount, nullptr, nullptr);
  for (int i = 0; i < tagCount; ++i) {
    const auto size = static_cast<jsize>(std::strlen(tags[i]));
    const jbyteArray tag = env->NewByteArray(size);
    env->SetByteArrayRegion(tag, 0, size, reinterpret_cast<const jbyte*>(tags[i]));
    env->SetObjectArrayElement(tagArray, i, tag);
  }
  if (jni.pendingException() == nullptr) finish(env, nullptr, encoder, tagArray);
  writePieces();
  if (encoder != 0) close(env, nullptr, encoder);
  std::fclose(pcm);
  std::fclose(flac);
  if (const JavaValue* exception = jni.pendingException()) {
    const JavaValue* message = exception->elements.size() > 2 ? exception->elements[2] : nullptr;
    std::printf("%s|%s\n", exception->text.c_str(), message ? message->text.c_str() : "");
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  HMODULE library = LoadLibraryA("Tocmate.dll");
  if (library == nullptr) {
    std::fprintf(stderr, "Tocmate.dll does not load: error %lu\n", GetLastError());
    return 2;
  }
  if (argc == 4 && std::strcmp(argv[1], "--extras") == 0) {
    return printDiscWithExtras(library, argv[2], std::atoi(argv[3]));
  }
  if (argc == 2 && std::strcmp(argv[1], "--drives") == 0) return printDrives(library);
  if (argc >= 4 && std::strcmp(argv[1], "--watch") == 0) {
    return watchDrive(library, argv[2], std::atoi(argv[3]), argv + 4, argc - 4);
  }
  if (argc == 10 && std::strcmp(argv[1], "--audio") == 0) return readAudio(library, argv + 2);
  if (argc >= 4 && std::strcmp(argv[1], "--flac") == 0) {
    return encodeFlac(library, argv[2], argv[3], argv + 4, argc - 4);
  }
  if (argc == 4 && std::strcmp(argv[1], "--layout") == 0) return printLayout(library, argv + 2);
  if (argc >= 2 && std::strcmp(argv[1], "--disc") == 0) {
    return printDiscTable(library, argc >= 3 ? argv[2] : "");
  }
  if (argc == 2 && std::strcmp(argv[1], "--both") == 0) return printBothTexts(library);
  return printTexts(library);
}
