// The jLHA library (Debian package libjlha-java) run as a command-line
// archiver, as a user packs a folder with it. The library ships no program
// of its own (its jar has no main class), so this is the least a program
// around it does: every file and folder below SOURCE (or the file SOURCE
// alone), in byte order of the names within each folder, through the
// library's archive writer with -lh7- and its other defaults (level-2
// headers). That writer stores a file as -lh0- when -lh7- does not make it
// smaller. Symbolic links and special files are left out; names go into
// the headers in Shift-JIS.
//
// Usage: java -cp /usr/share/java/jlha.jar:<dir of this class> Jlha OUT.lzh SOURCE
import jp.gr.java_conf.dangan.util.lha.*;
import java.io.*;
import java.nio.file.*;
import java.nio.file.attribute.BasicFileAttributes;
import java.util.*;

public class Jlha {
    static LhaOutputStream out;

    static void add(Path folder, String prefix) throws IOException {
        List<Path> entries = new ArrayList<>();
        try (DirectoryStream<Path> list = Files.newDirectoryStream(folder)) {
            for (Path entry : list) entries.add(entry);
        }
        entries.sort(Comparator.comparing(p -> p.getFileName().toString().getBytes(java.nio.charset.StandardCharsets.UTF_8),
                                          Arrays::compareUnsigned));
        for (Path entry : entries) addEntry(entry, prefix + entry.getFileName().toString());
    }

    static void addEntry(Path entry, String name) throws IOException {
        BasicFileAttributes attributes = Files.readAttributes(entry, BasicFileAttributes.class, LinkOption.NOFOLLOW_LINKS);
        Date time = new Date(attributes.lastModifiedTime().toMillis());
        if (attributes.isDirectory()) {
            out.putNextEntry(new LhaHeader(name + "/", time));
            out.closeEntry();
            add(entry, name + "/");
        } else if (attributes.isRegularFile()) {
            LhaHeader header = new LhaHeader(name, time);
            header.setCompressMethod(CompressMethod.LH7);
            out.putNextEntry(header);
            Files.copy(entry, out);
            out.closeEntry();
        }
    }

    public static void main(String[] args) throws Exception {
        Properties properties = new Properties();
        properties.setProperty("lha.encoding", "MS932");
        out = new LhaOutputStream(new BufferedOutputStream(new FileOutputStream(args[0])), properties);
        Path source = Paths.get(args[1]);
        if (Files.isDirectory(source, LinkOption.NOFOLLOW_LINKS)) add(source, "");
        else addEntry(source, source.getFileName().toString());
        out.close();
    }
}
