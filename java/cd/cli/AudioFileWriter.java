package cd.cli;

import cd.CueSheet;
import cd.DiscAudio;
import cd.FlacOutput;
import java.io.BufferedOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.channels.Channels;
import java.nio.channels.FileChannel;

/**
 * A rip's audio files, WAVE or FLAC, each written whole under a name of its own first
 * (RipFiles): the samples come from what a rip reads, and a FLAC file's tags once they are read.
 * A file's samples may start again (a first read of a track that AccurateRip did not confirm):
 * the file is then emptied and written from its start.
 */
final class AudioFileWriter {
  /** What writes a file's samples and returns what it found. */
  interface Samples<T> {
    T writeTo(DiscAudio.TrackOutput samples) throws IOException;
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
      return RipFiles.writeWholeChannel(file, channel -> {
        OutputStream[] wave = new OutputStream[1];
        T found = samples.writeTo(() -> {
          // What the earlier stream held back is dropped with it.
          emptied(channel);
          wave[0] = new BufferedOutputStream(Channels.newOutputStream(channel), 1 << 16);
          wave[0].write(RipFiles.waveHeader(bytes));
          return wave[0];
        });
        if (wave[0] != null) {
          wave[0].flush();
        }
        return found;
      });
    }
    return RipFiles.writeWholeChannel(file, channel -> {
      FlacOutput[] flac = new FlacOutput[1];
      T found;
      try {
        found = samples.writeTo(() -> {
          abandon(flac[0]);
          emptied(channel);
          return flac[0] = new FlacOutput(channel, bytes / DiscAudio.SAMPLE_BYTES);
        });
        tags.add(found, flac[0]);
      } catch (IOException | RuntimeException e) {
        abandon(flac[0]);
        throw e;
      }
      flac[0].close();
      return found;
    });
  }

  private static void emptied(FileChannel channel) throws IOException {
    channel.truncate(0);
    channel.position(0);
  }

  /** Ends an encoder whose file is dropped: emptied again, or removed. */
  private static void abandon(FlacOutput flac) {
    if (flac == null) {
      return;
    }
    try {
      flac.close();
    } catch (IOException unfinished) {
      // Its samples ended early, as was to be: its file is emptied or removed.
    }
  }
}
