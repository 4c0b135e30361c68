package cd;

/**
 * SHA-1 in plain Java, for the disc identifiers that are defined by it. The platform's
 * MessageDigest would first start the security providers, which costs a short-lived program
 * more than everything else it does with a disc.
 */
final class Sha1 {
  private Sha1() {}

  /** The 20-byte SHA-1 digest of the bytes. */
  static byte[] digest(byte[] message) {
    int[] state = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    // The message, a 1 bit, zeros, and its length in bits, to a whole number of 64-byte blocks.
    int length = (message.length + 8) / 64 * 64 + 64;
    byte[] padded = new byte[length];
    System.arraycopy(message, 0, padded, 0, message.length);
    padded[message.length] = (byte) 0x80;
    long bits = (long) message.length * 8;
    for (int i = 0; i < 8; i++) {
      padded[length - 1 - i] = (byte) (bits >>> 8 * i);
    }
    int[] words = new int[80];
    for (int block = 0; block < length; block += 64) {
      compress(state, padded, block, words);
    }
    byte[] digest = new byte[20];
    for (int i = 0; i < 20; i++) {
      digest[i] = (byte) (state[i / 4] >>> 24 - 8 * (i % 4));
    }
    return digest;
  }

  private static void compress(int[] state, byte[] data, int offset, int[] words) {
    for (int i = 0; i < 16; i++) {
      int at = offset + 4 * i;
      words[i] = (data[at] & 0xff) << 24 | (data[at + 1] & 0xff) << 16 | (data[at + 2] & 0xff) << 8
          | data[at + 3] & 0xff;
    }
    // The rotations are written out: a fresh JVM interprets this code, and there a call of
    // Integer.rotateLeft costs more than the rest of a round.
    for (int i = 16; i < 80; i++) {
      int mixed = words[i - 3] ^ words[i - 8] ^ words[i - 14] ^ words[i - 16];
      words[i] = mixed << 1 | mixed >>> 31;
    }
    int a = state[0];
    int b = state[1];
    int c = state[2];
    int d = state[3];
    int e = state[4];
    for (int i = 0; i < 80; i++) {
      int mixed;
      if (i < 20) {
        mixed = (b & c | ~b & d) + 0x5A827999;
      } else if (i < 40) {
        mixed = (b ^ c ^ d) + 0x6ED9EBA1;
      } else if (i < 60) {
        mixed = (b & c | b & d | c & d) + 0x8F1BBCDC;
      } else {
        mixed = (b ^ c ^ d) + 0xCA62C1D6;
      }
      int next = (a << 5 | a >>> 27) + mixed + e + words[i];
      e = d;
      d = c;
      c = b << 30 | b >>> 2;
      b = a;
      a = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
  }
}
