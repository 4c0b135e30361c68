package cd.cli;

import cd.CueSheet;
import cd.DiscAudio;
import cd.FlacOutput;
import java.io.File;
import java.io.IOException;
import java.io.OutputStream;

/**
 * A rip's audio files, WAVE or FLAC, each written whole under a name of its own first
 * (RipFiles): the samples come from what a rip reads, and a FLAC file's tags once they are read.
 */
final class AudioFileWriter {
  /** What writes a file's samples and returns what it found. */
  interface Samples<T> {
    T writeTo(OutputStream samples) throws IOException;
  }

  /** Tags a FLAC file with what its samples' writing found. */
  interface Tags<T> {
    void add(T found, FlacOutput flac);
  }

  private final CueSheet.FileType type;

  AudioFileWriter(CueSheet.FileType type) {
    this.type = type;
  }

  /** The name of a file as it is written: a WAVE file's name with this type's extension. */
  String name(String waveName) {
    return type.name(waveName);
  }

  /** Writes `file`, holding `bytes` of samples, through `samples`; returns what that returned. */
  <T> T write(File file, long bytes, Samples<T> samples, Tags<T> tags) throws IOException {
    if (type == CueSheet.FileType.WAVE) {
      return RipFiles.writeWhole(file, wave -> {
        wave.write(RipFiles.waveHeader(bytes));
        return samples.writeTo(wave);
      });
    }
    return RipFiles.writeWholeChannel(file, channel -> {
      FlacOutput flac = new FlacOutput(channel, bytes / DiscAudio.SAMPLE_BYTES);
      T found;
      try {
        found = samples.writeTo(flac);
        tags.add(found, flac);
      } catch (IOException | RuntimeException e) {
        try {
          flac.close();
        } catch (IOException unfinished) {
          // Its samples ended early, as the failure that goes on says: the file is removed.
        }
        throw e;
      }
      flac.close();
      return found;
    });
  }
}
