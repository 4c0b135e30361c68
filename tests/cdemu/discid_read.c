/* Reads a drive with libdiscid and prints what it found, one value a line:
 * "id", "toc", "mcn" and "isrc TRACK" for each track with one. */
#include <discid/discid.h>
#include <stdio.h>

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s DEVICE\n", argv[0]);
    return 2;
  }
  DiscId *disc = discid_new();
  if (!discid_read_sparse(disc, argv[1], DISCID_FEATURE_MCN | DISCID_FEATURE_ISRC)) {
    fprintf(stderr, "%s\n", discid_get_error_msg(disc));
    discid_free(disc);
    return 1;
  }
  printf("id %s\ntoc %s\n", discid_get_id(disc), discid_get_toc_string(disc));
  const char *mcn = discid_get_mcn(disc);
  if (mcn && *mcn) printf("mcn %s\n", mcn);
  for (int track = discid_get_first_track_num(disc); track <= discid_get_last_track_num(disc);
       track++) {
    const char *isrc = discid_get_track_isrc(disc, track);
    if (isrc && *isrc) printf("isrc %d %s\n", track, isrc);
  }
  discid_free(disc);
  return 0;
}
