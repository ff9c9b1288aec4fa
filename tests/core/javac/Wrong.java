public class Right {
}
