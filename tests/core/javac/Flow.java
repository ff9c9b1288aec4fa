public class Flow {
    static int sign(int a) {
        if (a > 0) {
            return 1;
        }
    }

    static void loop() {
        while (true) {
        }
        System.out.println("never");
    }

    static void early() {
        return;
        int after = 0;
    }
}
