package cd;

import static java.nio.file.attribute.AclEntryFlag.DIRECTORY_INHERIT;
import static java.nio.file.attribute.AclEntryFlag.FILE_INHERIT;
import static java.nio.file.attribute.AclEntryFlag.INHERIT_ONLY;
import static java.nio.file.attribute.AclEntryPermission.APPEND_DATA;
import static java.nio.file.attribute.AclEntryPermission.DELETE;
import static java.nio.file.attribute.AclEntryPermission.DELETE_CHILD;
import static java.nio.file.attribute.AclEntryPermission.EXECUTE;
import static java.nio.file.attribute.AclEntryPermission.READ_DATA;
import static java.nio.file.attribute.AclEntryPermission.WRITE_ACL;
import static java.nio.file.attribute.AclEntryPermission.WRITE_ATTRIBUTES;
import static java.nio.file.attribute.AclEntryPermission.WRITE_DATA;
import static java.nio.file.attribute.AclEntryPermission.WRITE_OWNER;

import java.nio.file.attribute.AclEntry;
import java.nio.file.attribute.AclEntryFlag;
import java.nio.file.attribute.AclEntryPermission;
import java.nio.file.attribute.AclEntryType;
import java.nio.file.attribute.GroupPrincipal;
import java.nio.file.attribute.UserPrincipal;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.EnumSet;
import java.util.List;

/**
 * The loader's rule over Windows access lists, on lists as Windows gives them for typical
 * folders: whom each refuses, above the loader's folders and as one of them. Principals
 * behave as the JDK's Windows ones: equal and hashed by SID, named by a translated account
 * name. Prints each wrong answer; exits with 1 on any.
 */
public final class WindowsAclCheck {
  private static class Principal implements UserPrincipal {
    final String sid;
    final String name;

    Principal(String sid, String name) {
      this.sid = sid;
      this.name = name;
    }

    @Override
    public String getName() {
      return name;
    }

    @Override
    public boolean equals(Object other) {
      return other instanceof Principal && ((Principal) other).sid.equals(sid);
    }

    @Override
    public int hashCode() {
      return sid.hashCode();
    }
  }

  private static final class Group extends Principal implements GroupPrincipal {
    Group(String sid, String name) {
      super(sid, name);
    }
  }

  private static final Principal ALICE = new Principal("S-1-5-21-1-2-3-1001", "PC\\alice");
  private static final Principal BOB = new Principal("S-1-5-21-1-2-3-1002", "PC\\bob");
  // The system's own as a German Windows names them; the Administrators once unnamed.
  private static final Principal SYSTEM = new Group("S-1-5-18", "NT-AUTORIT\u00c4T\\SYSTEM");
  private static final Principal ADMINS = new Group("S-1-5-32-544", "VORDEFINIERT\\Admins");
  private static final Principal UNNAMED_ADMINS = new Principal("S-1-5-32-544", "S-1-5-32-544");
  private static final Principal CREATOR = new Group("S-1-3-0", "ERSTELLER-BESITZER");
  private static final Principal USERS = new Group("S-1-5-11", "Authentifizierte Benutzer");
  private static final Principal EVERYONE = new Group("S-1-1-0", "Jeder");
  // A user named as the Administrators are: a name proves nothing.
  private static final Principal FAKE_ADMINS = new Principal("S-1-5-21-9", "VORDEFINIERT\\Admins");

  private static final AclEntryPermission[] FULL = AclEntryPermission.values();
  private static final AclEntryPermission[] MODIFY = // Windows' "Modify"
      {READ_DATA, EXECUTE, WRITE_DATA, APPEND_DATA, WRITE_ATTRIBUTES, DELETE};
  private static final EnumSet<AclEntryFlag> INHERITED =
      EnumSet.of(FILE_INHERIT, DIRECTORY_INHERIT);
  private static final EnumSet<AclEntryFlag> BELOW =
      EnumSet.of(FILE_INHERIT, DIRECTORY_INHERIT, INHERIT_ONLY);
  private static final EnumSet<AclEntryFlag> HERE = EnumSet.noneOf(AclEntryFlag.class);

  private static AclEntry ace(AclEntryType type, Principal principal, EnumSet<AclEntryFlag> flags,
      AclEntryPermission... permissions) {
    return AclEntry.newBuilder()
        .setType(type)
        .setPrincipal(principal)
        .setFlags(flags)
        .setPermissions(permissions)
        .build();
  }

  private static AclEntry allow(
      Principal principal, EnumSet<AclEntryFlag> flags, AclEntryPermission... permissions) {
    return ace(AclEntryType.ALLOW, principal, flags, permissions);
  }

  // The user's profile and what is made in it: the user, SYSTEM and the Administrators.
  private static List<AclEntry> profileAnd(AclEntry... more) {
    List<AclEntry> acl = new ArrayList<>(Arrays.asList(allow(ALICE, INHERITED, FULL),
        allow(SYSTEM, INHERITED, FULL), allow(ADMINS, INHERITED, FULL)));
    acl.addAll(Arrays.asList(more));
    return acl;
  }

  // NAME, LIST, WHOM IT REFUSES ABOVE THE LOADER'S FOLDERS, AS ONE OF THEM (null: nobody)
  private static final Object[][] CASES = {
      {"a profile folder", profileAnd(), null, null},
      {"read by everyone", profileAnd(allow(EVERYONE, INHERITED, READ_DATA, EXECUTE)), null, null},
      // Every user may make folders in C:\, and may modify what is below.
      {"C:\\",
          Arrays.asList(allow(SYSTEM, INHERITED, FULL), allow(USERS, HERE, APPEND_DATA),
              allow(USERS, BELOW, MODIFY), allow(CREATOR, BELOW, FULL)),
          null, USERS},
      {"C:\\tmp", Arrays.asList(allow(SYSTEM, INHERITED, FULL), allow(USERS, INHERITED, MODIFY)),
          USERS, USERS},
      {"writable by another", profileAnd(allow(BOB, HERE, WRITE_DATA)), null, BOB},
      {"its list changeable", profileAnd(allow(BOB, HERE, WRITE_ACL)), BOB, BOB},
      {"its owner changeable", profileAnd(allow(EVERYONE, HERE, WRITE_OWNER)), EVERYONE, EVERYONE},
      {"its entries removable", profileAnd(allow(BOB, HERE, DELETE_CHILD)), BOB, BOB},
      {"its attributes changeable", profileAnd(allow(BOB, HERE, WRITE_ATTRIBUTES)), null, BOB},
      {"writable below by another", profileAnd(allow(BOB, BELOW, WRITE_DATA)), null, BOB},
      {"denied to everyone", profileAnd(ace(AclEntryType.DENY, EVERYONE, HERE, FULL)), null, null},
      {"the Administrators unnamed", profileAnd(allow(UNNAMED_ADMINS, INHERITED, FULL)), null,
          null},
      {"a user named as the Administrators", profileAnd(allow(FAKE_ADMINS, INHERITED, FULL)),
          FAKE_ADMINS, FAKE_ADMINS},
      // Java gives a null list, which lets everyone in, as no entries.
      {"no list", Collections.<AclEntry>emptyList(), "no access list", "no access list"},
  };

  public static void main(String[] args) {
    int wrong = 0;
    for (Object[] row : CASES) {
      @SuppressWarnings("unchecked") List<AclEntry> acl = (List<AclEntry>) row[1];
      for (int made = 0; made < 2; made++) {
        Object expected = row[2 + made];
        String needed = expected instanceof Principal ? " " + ((Principal) expected).name + " "
                                                      : (String) expected;
        String got = WindowsAcl.whyUnsafe(acl, ALICE, made == 1);
        if (expected == null ? got != null : got == null || !got.contains(needed)) {
          System.out.println(row[0] + (made == 1 ? ", the loader's own: " : ", above it: ") + got
              + ", not " + (expected == null ? "none refused" : needed.trim()));
          wrong++;
        }
      }
    }
    System.out.println(wrong == 0 ? "ok: " + CASES.length + " access lists" : wrong + " wrong");
    System.exit(wrong == 0 ? 0 : 1);
  }
}
