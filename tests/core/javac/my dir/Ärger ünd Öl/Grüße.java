public class Grüße {
    void größe() {
        String straße = 1;
	int ü = undefiniert;
    }
}
