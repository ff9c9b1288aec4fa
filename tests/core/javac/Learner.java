import java.util.List;

public class Learner {
    public static void main(String[] args) {
        Strin name = "Ada";
        int count = "three";
        System.out.printn(count);
        return;
        System.out.println(count);
    }

    static int sign(int a) {
	if (a > 0) { return 1; }
    }

    static void call() {
        sign("x");
    }
}
