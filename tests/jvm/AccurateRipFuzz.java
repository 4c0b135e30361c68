import cd.AccurateRipResults;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;
import java.util.Random;

/**
 * AccurateRipResults.parse against answers made here: well-formed ones (one to three pressings
 * of 1 to 99 tracks, as many as the freedb ID counts or fewer) read back value for value,
 * tracks numbered from 1 and no other;
 * then the same cut short, with bytes changed,
 * added or removed, and random bytes, which must give either entries that fill the answer
 * exactly or an IllegalArgumentException, never another exception.
 *
 * <pre>AccurateRipFuzz ROUNDS</pre>
 */
public final class AccurateRipFuzz {
  public static void main(String[] args) {
    int rounds = Integer.parseInt(args[0]);
    Random random = new Random(23);
    int refused = 0;
    for (int round = 0; round < rounds; round++) {
      int pressings = 1 + random.nextInt(3);
      int[][] values = new int[pressings][];
      ByteBuffer answer = ByteBuffer.allocate(pressings * (13 + 9 * 99))
          .order(ByteOrder.LITTLE_ENDIAN);
      int tracks = 1 + random.nextInt(99);
      for (int p = 0; p < pressings; p++) {
        values[p] = new int[3 + 3 * tracks];
        for (int i = 0; i < values[p].length; i++) {
          values[p][i] = random.nextInt();
        }
        values[p][2] = values[p][2] & ~0xff | tracks + random.nextInt(100 - tracks);
        answer.put((byte) tracks).putInt(values[p][0]).putInt(values[p][1]).putInt(values[p][2]);
        for (int t = 0; t < tracks; t++) {
          values[p][3 + 3 * t] &= 0xff;
          answer.put((byte) values[p][3 + 3 * t]).putInt(values[p][4 + 3 * t])
              .putInt(values[p][5 + 3 * t]);
        }
      }
      byte[] bytes = Arrays.copyOf(answer.array(), answer.position());
      if (!readsBack(AccurateRipResults.parse(bytes), values)) {
        fail("round " + round + ": a well-formed answer reads back wrong");
      }
      try {
        byte[] changed = mangle(bytes, random);
        int filled = 0;
        for (AccurateRipResults.Pressing pressing : AccurateRipResults.parse(changed).getPressings()) {
          filled += 13 + 9 * pressing.getTrackCount();
        }
        if (filled != changed.length) {
          fail("round " + round + ": entries of " + filled + " bytes read from " + changed.length);
        }
      } catch (IllegalArgumentException e) {
        refused++;
      } catch (RuntimeException e) {
        e.printStackTrace(System.out);
        fail("round " + round + ": " + e);
      }
    }
    System.out.println("ok: " + rounds + " answers read back, " + refused
        + " mangled ones refused, the others read");
    // What a fetch may bring instead of an answer: nothing, a header alone, and an error page
    // of the size of one entry of '<' (60) tracks.
    byte[] headerAlone = {0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};
    byte[] page = Arrays.copyOf("<!DOCTYPE html>\n<title>404 Not Found</title>\n"
        .getBytes(StandardCharsets.US_ASCII), 13 + 9 * '<');
    Arrays.fill(page, 45, page.length, (byte) ' ');
    for (byte[] notAnswer : new byte[][] {new byte[0], headerAlone, page}) {
      try {
        AccurateRipResults.parse(notAnswer);
        fail(notAnswer.length + " bytes that are no answer were read");
      } catch (IllegalArgumentException e) {
        System.out.println("ok: refused, " + e.getMessage());
      }
    }
  }

  private static boolean readsBack(AccurateRipResults results, int[][] values) {
    if (results.getPressings().size() != values.length) {
      return false;
    }
    for (int p = 0; p < values.length; p++) {
      AccurateRipResults.Pressing pressing = results.getPressings().get(p);
      int tracks = (values[p].length - 3) / 3;
      boolean same = pressing.getTrackCount() == tracks && pressing.getDiscId1() == values[p][0]
          && pressing.getDiscId2() == values[p][1] && pressing.getFreedbId() == values[p][2];
      // Tracks are numbered from 1; the entry holds no other.
      for (int track = 1; same && track <= tracks; track++) {
        same = pressing.getConfidence(track) == values[p][3 * track]
            && pressing.getCrc(track) == values[p][1 + 3 * track]
            && pressing.getFrame450Crc(track) == values[p][2 + 3 * track];
      }
      same &= outside(() -> pressing.getCrc(0)) && outside(() -> pressing.getConfidence(tracks + 1));
      if (!same) {
        return false;
      }
    }
    return true;
  }

  private static byte[] mangle(byte[] bytes, Random random) {
    switch (random.nextInt(5)) {
      case 0:
        return Arrays.copyOf(bytes, random.nextInt(bytes.length + 1));
      case 1:
        byte[] changed = bytes.clone();
        for (int i = 1 + random.nextInt(4); i > 0; i--) {
          changed[random.nextInt(changed.length)] = (byte) random.nextInt();
        }
        return changed;
      case 2:
        byte[] longer = Arrays.copyOf(bytes, bytes.length + 1 + random.nextInt(30));
        for (int i = bytes.length; i < longer.length; i++) {
          longer[i] = (byte) random.nextInt();
        }
        return longer;
      case 3:
        int at = random.nextInt(bytes.length);
        byte[] shorter = new byte[bytes.length - 1];
        System.arraycopy(bytes, 0, shorter, 0, at);
        System.arraycopy(bytes, at + 1, shorter, at, bytes.length - at - 1);
        return shorter;
      default:
        byte[] noise = new byte[random.nextInt(200)];
        random.nextBytes(noise);
        return noise;
    }
  }

  private static void fail(String what) {
    System.out.println("FAILED: " + what);
    System.exit(1);
  }

  /** Whether asking for a track the entry does not list is refused. */
  private static boolean outside(Runnable ask) {
    try {
      ask.run();
      return false;
    } catch (IndexOutOfBoundsException e) {
      return true;
    }
  }
}
