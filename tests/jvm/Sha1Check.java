package cd;

import java.nio.charset.StandardCharsets;
import java.security.MessageDigest;
import java.util.Arrays;

/**
 * The plain SHA-1 against the published test vectors, and against the platform's own at every
 * length around the padding's block boundaries. Prints each mismatch; exits with 1 on any.
 */
public final class Sha1Check {
  private static final String[][] PUBLISHED = {
      {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
      {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
          "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
              + "lmnopqrsmnopqrstnopqrstu",
          "a49b2446a02c645bf419f995b67091253a04a259"},
  };

  public static void main(String[] args) throws Exception {
    int mismatches = 0;
    for (String[] vector : PUBLISHED) {
      mismatches += check("\"" + vector[0] + "\"",
          Sha1.digest(vector[0].getBytes(StandardCharsets.US_ASCII)), vector[1]);
    }
    byte[] million = new byte[1_000_000];
    Arrays.fill(million, (byte) 'a');
    mismatches +=
        check("a million a's", Sha1.digest(million), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
    MessageDigest platform = MessageDigest.getInstance("SHA-1");
    for (int length = 0; length <= 200; length++) {
      byte[] message = new byte[length];
      for (int i = 0; i < length; i++) {
        message[i] = (byte) (i * 151 + length);
      }
      mismatches += check(length + " bytes", Sha1.digest(message), hex(platform.digest(message)));
    }
    System.out.println(mismatches == 0 ? "ok: SHA-1" : mismatches + " mismatches");
    System.exit(mismatches == 0 ? 0 : 1);
  }

  private static int check(String what, byte[] digest, String expected) {
    if (hex(digest).equals(expected)) {
      return 0;
    }
    System.out.println(what + ": " + hex(digest) + ", not " + expected);
    return 1;
  }

  private static String hex(byte[] bytes) {
    StringBuilder text = new StringBuilder();
    for (byte b : bytes) {
      text.append(Character.forDigit(b >> 4 & 0xf, 16)).append(Character.forDigit(b & 0xf, 16));
    }
    return text.toString();
  }
}
