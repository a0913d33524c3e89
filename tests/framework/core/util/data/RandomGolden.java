// Prints reference draws of java.util.Random for the generator tests.
// Run: java RandomGolden.java > random_golden.txt
import java.util.Random;

public class RandomGolden {
    static class Bits extends Random {
        Bits(long seed) { super(seed); }
        int draw(int bits) { return next(bits); }
    }

    public static void main(String[] args) {
        long[] seeds = {0L, 1L, 42L, -1L, 123456789L, 0x5DEECE66DL, Long.MIN_VALUE, 1718000000000L};
        int[] moduli = {10, 7, 100, 2, 1000003, -9};
        for (long seed : seeds) {
            StringBuilder line = new StringBuilder("seed " + seed + " int");
            Random r = new Random(seed);
            for (int i = 0; i < 8; ++i) line.append(' ').append(r.nextInt());
            line.append(" float");
            for (int i = 0; i < 4; ++i) line.append(' ').append(Float.floatToIntBits(r.nextFloat()));
            line.append(" range");
            for (int n : moduli) line.append(' ').append(n).append(':').append(Math.floorMod(r.nextInt(), n));
            line.append(" bits");
            Bits b = new Bits(seed);
            for (int bits = 1; bits <= 32; bits += 5) line.append(' ').append(bits).append(':').append(b.draw(bits));
            System.out.println(line);
        }
    }
}
