import java.util.*;
public class Old {
    @SuppressWarnings("removal")
    void f() {
        Date d = new Date(2020, 1, 1);
        List raw = new ArrayList();
        raw.add("x");
    }
}
