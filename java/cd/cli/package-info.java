/**
 * The command line of the jar ({@code java -jar tocmate-<version>.jar --help}): a client of
 * the public API of {@link cd}, which it uses as any other program would.
 */
package cd.cli;
